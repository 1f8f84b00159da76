#include "serial/comm_port.h"

#include "platform/config_file.h"
#include "platform/ui_services.h"
#include "serial/receive_thread.h"
#include "serial/serial_state.h"
#include "serial/terminal_view.h"

#include <chrono>
#include <thread>

namespace ventaro {
namespace {

template <size_t N>
const char* Entry(const std::array<const char*, N>& table, int index, int fallback) {
    return (index >= 0 && size_t(index) < N) ? table[size_t(index)] : table[size_t(fallback)];
}

void SetPanel(int panel, const QString& text) {
    if (View()) {
        View()->SetPanel(panel, text);
    }
}

constexpr uint32_t kReadTimeoutMs = 50;
// Longer than a whole read, so a read in progress has ended.
constexpr int kHandOverWaitMs = 100;
// A read never lasts longer than the records download's 1300 ms.
constexpr auto kThreadEndLimit = std::chrono::milliseconds(5000);

}  // namespace

const char* PortName(int index) {
    return Entry(kPortNames, index, kDefaultPortIndex);
}
const char* BaudRate(int index) {
    return Entry(kBaudRates, index, kDefaultBaudIndex);
}
const char* ParityLetter(int index) {
    return Entry(kParityLetters, index, kDefaultParityIndex);
}
const char* DataBits(int index) {
    return Entry(kDataBits, index, kDefaultBitsIndex);
}

QString SettingsString() {
    return QStringLiteral("%1,%2,%3,1")
        .arg(QLatin1String(BaudRate(BaudIndex)), QLatin1String(ParityLetter(ParityIndex)),
             QLatin1String(DataBits(BitsIndex)));
}

void Sleep(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void TakePort() {
    PortReady = 0;
    Sleep(kHandOverWaitMs);
    if (ReadThread) {
        ReadThread->Suspend();
    }
}

void GivePort() {
    if (ReadThread) {
        ReadThread->Resume();
    }
    PortReady = 1;
}

void OpenCommPort() {
    TakePort();
    if (CommHandle != plat::kNoPort) {
        plat::PurgeRxAbort(CommHandle);
        plat::ClosePort(CommHandle);
        CommHandle = plat::kNoPort;
    }
    const QString name = QLatin1String(PortName(PortIndex));
    plat::PortError error = plat::PortError::None;
    plat::PortHandle port = plat::OpenPort(plat::PortDevice(name).toStdString(), &error);
    if (port == plat::kNoPort) {
        SetPanel(0, QStringLiteral(" "));
        plat::Ui().MessageBox(
            QStringLiteral("Unable to open COM port.\r\n"
                           "The port may be in use or does not exist on your machine."),
            false);
        if (ReadThread) {
            ReadThread->Resume();
        }
        return;
    }
    CommHandle = port;
    plat::SetupComm(port, 8192, 1024);
    plat::GetCommTimeouts(port, &SavedTimeouts);
    PortTimeouts.readTotalTimeoutConstant = kReadTimeoutMs;
    plat::SetCommTimeouts(port, PortTimeouts);
    SetPanel(0, name);
    ApplyCommSettings();
    GivePort();
}

void ApplyCommSettings() {
    const QString mode = SettingsString();
    SetPanel(1, mode);
    if (auto settings = plat::ParseModeString(mode.toStdString())) {
        plat::ApplyLineSettings(CommHandle, *settings);
    }
}

void StopReadThread() {
    if (!ReadThread) {
        return;
    }
    ReadThread->Resume();
    ReadThread->Terminate();
    // Cut a read in progress short, then wait for the thread to be gone
    // before the port and the window it writes to go away.
    plat::PurgeRxAbort(CommHandle);
    if (ReadThread->WaitFor(kThreadEndLimit)) {
        delete ReadThread;
        TRead::FinishCaptureAtClose();
    } else {
        ReadThread->CancelSyncs();
    }
    ReadThread = nullptr;
}

void CloseCommPort() {
    if (ReadThread && ReadThread->Suspended()) {
        ReadThread->Resume();
        Sleep(kHandOverWaitMs);
    }
    StopReadThread();
    if (CommHandle != plat::kNoPort) {
        plat::PurgeRxAbort(CommHandle);
        plat::SetCommTimeouts(CommHandle, SavedTimeouts);
        plat::ClosePort(CommHandle);
        // The descriptor number may be reused: never leave it behind.
        CommHandle = plat::kNoPort;
    }
    Sleep(kHandOverWaitMs);
}

}  // namespace ventaro
