// Get Records: probe the instrument, take the port, receive the records as
// 132-byte checksum blocks and write the records text file.
//
// The block rules live in RecordReceiver and the file format in RecordsFile;
// this loop only reads, carries out the steps they return, and lets the
// window handle its events between reads. The chosen file is opened only
// once the instrument has answered, so a busy or silent instrument never
// empties an existing file.
#include "device/record_retrieval.h"
#include "device/commands.h"
#include "device/record_protocol.h"
#include "device/records_file.h"
#include "device/transfer_guard.h"
#include "serial/comm_port.h"
#include "serial/receive_thread.h"
#include "serial/serial_state.h"
#include "serial/terminal_view.h"

#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <thread>

namespace ventaro {
namespace {

const QString kCannotOpen = QStringLiteral("Windows cannot open file.");
const QString kBusy =
    QStringLiteral("You cannot Get Records while\r\nthe Brenvix is sending serial data.");
const QString kNotResponding = QStringLiteral("The Brenvix is not responding");

// Whether the file could be written, without emptying it.
bool CanWrite(const QString& path) {
    const bool existed = QFileInfo::exists(path);
    std::FILE* probe = std::fopen(path.toLocal8Bit().constData(), "ab");
    if (!probe) {
        return false;
    }
    std::fclose(probe);
    if (!existed) {
        std::remove(path.toLocal8Bit().constData());
    }
    return true;
}

DownloadResult Ended(TransferOutcome outcome) {
    return {outcome, 0, 0, {}};
}

void SetReadTimeout(uint32_t ms) {
    PortTimeouts.readTotalTimeoutConstant = ms;
    plat::SetCommTimeouts(CommHandle, PortTimeouts);
}

// Probes the instrument; false (the user told) when the download must not start.
bool ProbeInstrument(TerminalView& view) {
    view.MoveCaretToEnd();
    plat::TransmitCommChar(CommHandle, kBreakIn);
    plat::Ui().SetCursor(plat::ScreenCursor::Hourglass);
    Sleep(1250);
    if (DeviceIsSending()) {
        plat::Ui().MessageBox(kBusy, false);
        plat::Ui().SetCursor(plat::ScreenCursor::Default);
        return false;
    }
    if (QueryDevice(0x02, "NOW...") == kNoReply) {
        plat::Ui().MessageBox(kNotResponding, false);
        plat::Ui().SetCursor(plat::ScreenCursor::Default);
        return false;
    }
    return true;
}

// An accepted block is acknowledged before it is stored and shown: the
// instrument then sends the next block while the file and the window are
// being written, instead of waiting for them. What is written and shown, and
// in which order, stays the same.
std::vector<Action> AckFirst(const Step& step) {
    std::vector<Action> actions = step.actions;
    if (step.verdict == BlockVerdict::Accept) {
        auto ack = std::find_if(actions.begin(), actions.end(), [](const Action& a) {
            return a.kind == ActionKind::Send && a.value == kAck;
        });
        if (ack != actions.end()) {
            std::rotate(actions.begin(), ack, ack + 1);
        }
    }
    return actions;
}

class Download {
  public:
    Download(TerminalView& view, std::FILE* file)
        : view_(view),
          file_(file),
          records_([this](std::string_view bytes) { Write(bytes); },
                   [this](std::string_view text) { Show(text); }) {}

    // False when the program is ending: the file is closed as it stands.
    bool Run() {
        std::array<uint8_t, kRecordBlockSize> buffer{};
        while (receiver_.Receiving()) {
            plat::Ui().ProcessEvents();
            if (ApplicationTerminated()) {
                std::fclose(file_);
                if (ReadThread) {
                    ReadThread->Resume();
                }
                return false;
            }
            size_t got = 0;
            // EOT needs no more bytes after it: don't sit out the time-out.
            plat::ReadPortUntil(CommHandle, buffer.data(), buffer.size(), &got,
                                [](std::span<const uint8_t> bytes) { return bytes[0] == kEot; });
            Carry(receiver_.OnRead(std::span(buffer.data(), got)));
        }
        return true;
    }

    bool GaveUp() const { return receiver_.State() == ReceiverState::GaveUp; }
    int Records() const { return records_.RecordCount(); }
    int Expected() const { return records_.RecordsExpected(); }

    void Finish() {
        records_.CloseRecordsFile();
        std::fclose(file_);
        view_.ShowText(ReceivedText(records_.RecordCount(), records_.RecordsExpected()), false);
    }

  private:
    void Write(std::string_view bytes) { std::fwrite(bytes.data(), 1, bytes.size(), file_); }

    void Show(std::string_view text) { view_.ShowText(text, true); }

    void Carry(const Step& step) {
        for (const Action& action : AckFirst(step)) {
            switch (action.kind) {
                case ActionKind::Beep:
                    plat::Ui().Beep();
                    break;
                case ActionKind::Show:
                    Show(action.text);
                    break;
                case ActionKind::Store:
                    records_.StoreRecordBlock(step.ordinal, step.payload);
                    break;
                case ActionKind::ClearErrors:
                    break;  // the tty layer keeps no error state to clear
                case ActionKind::Wait:
                    Sleep(action.value);
                    break;
                case ActionKind::Send:
                    // Whatever is left of a failed block would misalign every read
                    // after it: ask again on a clean line.
                    if (action.value == kNak) {
                        plat::PurgeInput(CommHandle);
                    }
                    plat::TransmitCommChar(CommHandle, uint8_t(action.value));
                    break;
                case ActionKind::Yield:
                    std::this_thread::yield();
                    break;
                case ActionKind::ShowStatus:
                    view_.SetPanel(2, QString::fromStdString(StatusText(records_.RecordCount(),
                                                                        records_.RecordsExpected(),
                                                                        receiver_.ErrorCount())));
                    break;
            }
        }
    }

    TerminalView& view_;
    std::FILE* file_;
    RecordsFile records_;
    RecordReceiver receiver_;
};

}  // namespace

DownloadResult RunRecordsDownload() {
    if (RefuseTransfer()) {
        return Ended(TransferOutcome::Busy);
    }
    TerminalView& view = *View();
    plat::FileRequest& dialog = view.SaveDialogRequest();
    dialog.title = QStringLiteral("Get Records and Save To File...");
    auto path = plat::Ui().SaveFileName(dialog);
    if (!path) {
        return Ended(TransferOutcome::Cancelled);
    }
    RememberFolderOf(*path, dialog);
    if (!CanWrite(*path)) {
        plat::Ui().MessageBox(kCannotOpen, false);
        return Ended(TransferOutcome::FileError);
    }
    ForegroundOperation busy;
    if (!ProbeInstrument(view)) {
        return Ended(TransferOutcome::Refused);
    }
    std::FILE* file = std::fopen(path->toLocal8Bit().constData(), "wb");
    if (!file) {
        plat::TransmitCommChar(CommHandle, kBreakIn);  // the instrument is waiting for a NAK
        plat::Ui().SetCursor(plat::ScreenCursor::Default);
        plat::Ui().MessageBox(kCannotOpen, false);
        return Ended(TransferOutcome::FileError);
    }
    view.SetTerminalEnabled(false);
    TakePort();
    SetReadTimeout(kRecordReadTimeoutMs);
    plat::TransmitCommChar(CommHandle, kNak);
    Download download(view, file);
    if (!download.Run()) {
        return {TransferOutcome::Interrupted, download.Records(), download.Expected(), *path};
    }
    plat::Ui().Beep();
    plat::TransmitCommChar(CommHandle, kAck);
    SetReadTimeout(50);
    download.Finish();
    view.SetPanel(2, QStringLiteral(" "));
    GivePort();
    view.SetTerminalEnabled(true);
    plat::Ui().SetCursor(plat::ScreenCursor::Default);
    view.FocusTerminal();
    return {download.GaveUp() ? TransferOutcome::GaveUp : TransferOutcome::Done, download.Records(),
            download.Expected(), *path};
}

}  // namespace ventaro
