#include "device/program_send.h"

#include "device/commands.h"
#include "device/transfer_guard.h"
#include "serial/comm_port.h"
#include "serial/serial_state.h"
#include "serial/terminal_view.h"

#include <chrono>
#include <cstdio>
#include <new>
#include <thread>
#include <vector>

namespace ventaro {
namespace {

const QString kRefusal =
    QStringLiteral("You cannot Send Pgm while\r\nthe Brenvix is sending serial data.");
const QString kCannotOpen = QStringLiteral("Windows cannot open file.");
const QString kTooLarge =
    QStringLiteral("The file is too large to be sent.\r\nNothing was sent to the Brenvix.");

// The whole file and a closing zero; empty when it cannot be had.
bool ReadWholeFile(std::FILE* in, std::vector<uint8_t>& text, bool& tooLarge) {
    std::fseek(in, 0, SEEK_END);
    long length = std::ftell(in);
    std::fseek(in, 0, SEEK_SET);
    if (length < 0) {
        length = 0;
    }
    try {
        text.assign(size_t(length) + 1, 0);
    } catch (const std::bad_alloc&) {
        tooLarge = true;
        return false;
    } catch (const std::length_error&) {
        tooLarge = true;
        return false;
    }
    return true;
}

// A status call that fails (the adapter unplugged) counts as an empty queue.
void WaitForEmptyOutputQueue() {
    uint32_t queued = 0;
    while (plat::OutputQueueCount(CommHandle, &queued) && queued > 0) {
    }
}

// The waits of a send counted on one clock: the time spent echoing and
// updating the status between bytes comes out of the next wait instead of
// adding up over the file, so the bytes keep their spacing.
class Pacer {
  public:
    void Wait(int ms) {
        mark_ += std::chrono::milliseconds(ms);
        const auto now = std::chrono::steady_clock::now();
        if (mark_ > now) {
            std::this_thread::sleep_until(mark_);
        } else {
            mark_ = now;  // running late: never wait less than nothing
        }
    }

  private:
    std::chrono::steady_clock::time_point mark_ = std::chrono::steady_clock::now();
};

void SendByte(uint8_t c, Pacer& pacer) {
    const SendStep step = SendStepFor(c);
    pacer.Wait(step.waitBeforeMs);
    for (char out : step.bytes) {
        if (step.transmitAhead) {
            plat::TransmitCommChar(CommHandle, uint8_t(out));
        } else {
            size_t written = 0;
            plat::WritePort(CommHandle, &out, 1, &written);
        }
        pacer.Wait(step.waitAfterEachMs);
    }
}

// False when the program was told to end midway (only the command-line tool
// can be: the window processes no events during a send). The caller still
// runs the closing steps, so the port is given back either way.
bool SendText(const std::vector<uint8_t>& text, uint64_t length) {
    TerminalView& view = *View();
    SendEcho echo;
    Pacer pacer;
    uint64_t count = 0;
    for (size_t at = 0; at < text.size() && text[at] != 0; ++at) {
        if (ApplicationTerminated()) {
            return false;
        }
        const uint8_t c = text[at];
        view.ShowText(echo.Next(c), false);
        ++count;
        view.SetPanel(2, QStringLiteral("Sending File... %1%").arg(SendProgress(count, length)));
        WaitForEmptyOutputQueue();
        SendByte(c, pacer);
    }
    return true;
}

}  // namespace

SendStep SendStepFor(uint8_t byte) {
    switch (byte) {
        case 0x09:
            return {"   ", 0, 10, false};
        case 0x0A:
            return {"", 0, 0, false};
        case 0x0D:
            return {"\r", 20, 100, true};
        default:
            return {std::string(1, char(byte)), 0, 10, false};
    }
}

uint32_t SendProgress(uint64_t handled, uint64_t length) {
    return length == 0 ? 0 : uint32_t(handled * 100 / length);
}

std::string SendEcho::Next(uint8_t byte) {
    const bool lfAfterCr = byte == 0x0A && afterCr_;
    afterCr_ = byte == 0x0D;
    if (lfAfterCr) {
        return {};
    }
    if (byte == 0x0D || byte == 0x0A) {
        return "\r\n";
    }
    return std::string(1, char(byte));
}

TransferOutcome RunProgramSend() {
    if (RefuseTransfer()) {
        return TransferOutcome::Busy;
    }
    TerminalView& view = *View();
    plat::FileRequest& dialog = view.OpenDialogRequest();
    dialog.title = QStringLiteral("Open User Program File and Send...");
    auto file = plat::Ui().OpenFileName(dialog);
    if (!file) {
        return TransferOutcome::Cancelled;
    }
    RememberFolderOf(*file, dialog);
    view.MoveCaretToEnd();
    if (!PrepareProgramTransfer(kRefusal)) {
        return TransferOutcome::Refused;
    }
    std::FILE* in = std::fopen(file->toLocal8Bit().constData(), "rb");
    if (!in) {
        plat::Ui().MessageBox(kCannotOpen, false);
        return TransferOutcome::FileError;
    }
    ForegroundOperation busy;
    std::vector<uint8_t> text;
    bool tooLarge = false;
    if (!ReadWholeFile(in, text, tooLarge)) {
        std::fclose(in);
        plat::Ui().MessageBox(kTooLarge, false);
        return TransferOutcome::FileError;
    }
    const uint64_t length = text.size() - 1;
    plat::Ui().SetCursor(plat::ScreenCursor::Hourglass);
    view.SetTerminalEnabled(false);
    QueryDevice(0x04, "NOW");
    size_t got = std::fread(text.data(), 1, length, in);
    std::fclose(in);
    text.resize(got + 1);
    text[got] = 0;
    TakePort();
    Sleep(500);
    const bool whole = SendText(text, length);
    std::vector<uint8_t>().swap(text);
    Sleep(1000);
    GivePort();
    view.SetTerminalEnabled(true);
    plat::Ui().SetCursor(plat::ScreenCursor::Default);
    view.FocusTerminal();
    view.SetPanel(2, QStringLiteral(" "));
    plat::Ui().Beep();
    return whole ? TransferOutcome::Done : TransferOutcome::Interrupted;
}

}  // namespace ventaro
