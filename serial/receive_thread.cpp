#include "serial/receive_thread.h"

#include "platform/ui_services.h"
#include "serial/serial_state.h"
#include "serial/terminal_view.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstring>
#include <thread>

namespace ventaro {
namespace {

constexpr auto kNotReadyPause = std::chrono::milliseconds(20);
constexpr auto kFailedReadPause = std::chrono::milliseconds(50);
constexpr size_t kCaptureShownChars = 9999;
constexpr size_t kAsciiShortCapture = 80;

void YieldProcessor() {
    std::this_thread::yield();
}

bool Capturing() {
    return CaptureMode.load() != CaptureKind::Terminal;
}

void WriteCaptureFile() {
    if (!CaptureFile) {
        return;
    }
    std::fwrite(CaptureBuffer.data(), 1, CaptureBuffer.size(), CaptureFile);
    std::fputc(0, CaptureFile);
    std::fclose(CaptureFile);
    CaptureFile = nullptr;
}

// The capture's first characters into DisplayText, for the terminal.
void CopyCaptureForDisplay() {
    size_t length = std::min({CaptureBuffer.size(), kCaptureShownChars, DisplayText.size() - 1});
    std::memcpy(DisplayText.data(), CaptureBuffer.data(), length);
    DisplayText[length] = '\0';
    std::string().swap(CaptureBuffer);
}

void EndCaptureOnScreen() {
    if (TerminalView* view = View()) {
        view->SetTerminalEnabled(true);
        view->SetPanel(2, QStringLiteral(" "));
    }
    ShowReceived();
}

}  // namespace

int CaptureIdleLimit(int captureMode, size_t capturedLength) {
    if (captureMode == int(CaptureKind::AsciiCapture) && capturedLength <= kAsciiShortCapture) {
        return 150;
    }
    return 10;
}

TRead::TRead(bool createSuspended) {
    if (createSuspended) {
        Suspend();
    }
    SetWaker([] {
        QMetaObject::invokeMethod(
            qApp,
            [] {
                if (ReadThread) {
                    ReadThread->RunPendingSync();
                }
            },
            Qt::QueuedConnection);
    });
}

void TRead::Execute() {
    HexColumn = 0;
    int emptyReads = 0;
    while (!Terminated()) {
        CheckHold();
        if (Terminated()) {
            break;
        }
        const plat::PortHandle port = CommHandle.load();
        if (PortReady.load() == 0 || port == plat::kNoPort) {
            Pause(kNotReadyPause);
            continue;
        }
        size_t count = 0;
        bool ok = plat::ReadPort(port, ReceiveBlock.data(), kReadSize, &count);
        HandleRead(count, emptyReads);
        if (!ok && count == 0) {
            Pause(kFailedReadPause);
        }
    }
}

void TRead::HandleRead(size_t count, int& emptyReads) {
    const CaptureKind mode = CaptureMode.load();
    if (count > 0) {
        if (mode != CaptureKind::Terminal) {
            emptyReads = 0;
        }
        FilterReceived(count);
        return;
    }
    if (mode == CaptureKind::Terminal) {
        return;
    }
    ++emptyReads;
    if (emptyReads > CaptureIdleLimit(int(mode), CaptureBuffer.size())) {
        FinishCapture();
        emptyReads = 0;
    }
}

void TRead::FilterReceived(size_t count) {
    BytesReceived += uint32_t(count);
    const CaptureKind mode = CaptureMode.load();
    // No yield per byte: a preemptive scheduler needs none, and here each one
    // is a system call that made a 115200-baud stream cost a third of a core.
    FilterBlock(std::span(ReceiveBlock.data(), std::min(count, kReadSize)), HexView.load() == 1,
                mode, HexColumn, DisplayText, HexText);
    if (mode != CaptureKind::Terminal) {
        CaptureBuffer.append(DisplayText.data(), TextLength(DisplayText));
        const uint32_t received = BytesReceived.load();
        Synchronize([received] {
            if (View()) {
                View()->SetPanel(2, QStringLiteral("Bytes Rcv'd: %1").arg(received));
            }
        });
    } else {
        Synchronize([] { ShowReceived(); });
    }
    YieldProcessor();
}

void TRead::FinishCapture() {
    WriteCaptureFile();
    CopyCaptureForDisplay();
    CaptureMode = CaptureKind::Terminal;
    // The beep rides on the same hand-off: the desktop's beep belongs to the main thread.
    Synchronize([] {
        EndCaptureOnScreen();
        plat::Ui().Beep();
    });
}

void TRead::FinishCaptureAtClose() {
    if (!Capturing()) {
        return;
    }
    WriteCaptureFile();
    std::string().swap(CaptureBuffer);
    CaptureMode = CaptureKind::Terminal;
}

void ShowReceived() {
    if (TerminalView* view = View()) {
        if (HexView.load() == 0) {
            view->ShowReceivedText(std::string_view(DisplayText.data(), TextLength(DisplayText)));
        } else {
            view->ShowReceivedText(std::string_view(HexText.data(), TextLength(HexText)));
        }
    }
    plat::Ui().SetCursor(plat::ScreenCursor::Default);
    plat::Ui().ProcessEvents();
}

void Memo1KeyPress(char& key) {
    if (key == 0x02 || key == '?') {
        key = 0;
        plat::Ui().Beep();
        return;
    }
    plat::TransmitCommChar(CommHandle, static_cast<uint8_t>(key));
}

}  // namespace ventaro
