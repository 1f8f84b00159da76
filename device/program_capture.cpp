#include "device/program_capture.h"

#include "device/commands.h"
#include "device/transfer_guard.h"
#include "serial/comm_port.h"
#include "serial/serial_state.h"
#include "serial/terminal_view.h"

#include <cstdio>

namespace ventaro {

const CaptureRequest& GetPgmRequest() {
    static const CaptureRequest request{
        QStringLiteral("Get User Program and Save To File..."),
        QStringLiteral("You cannot Get Pgm while\r\nthe Brenvix is sending serial data."),
        CaptureKind::ProgramCapture, 0x15};
    return request;
}

const CaptureRequest& GetAsciiPgmRequest() {
    static const CaptureRequest request{
        QStringLiteral("Get ASCII User Program and Save To File..."),
        QStringLiteral("You cannot Get ASCII Pgm while\r\nthe Brenvix is sending serial data."),
        CaptureKind::AsciiCapture, 0x01};
    return request;
}

TransferOutcome RunProgramCapture(const CaptureRequest& request) {
    if (RefuseTransfer()) {
        return TransferOutcome::Busy;
    }
    TerminalView& view = *View();
    plat::FileRequest& dialog = view.SaveDialogRequest();
    dialog.title = request.title;
    auto file = plat::Ui().SaveFileName(dialog);
    if (!file) {
        return TransferOutcome::Cancelled;
    }
    RememberFolderOf(*file, dialog);
    view.MoveCaretToEnd();
    if (!PrepareProgramTransfer(request.refusal)) {
        return TransferOutcome::Refused;  // the chosen file has not been touched
    }
    std::FILE* out = std::fopen(file->toLocal8Bit().constData(), "wb");
    if (!out) {
        plat::Ui().MessageBox(QStringLiteral("Windows cannot open file."), false);
        return TransferOutcome::FileError;
    }
    // Set up everything the receive thread will use before it sees the mode.
    CaptureFile = out;
    CaptureBuffer.clear();
    CaptureBuffer.reserve(kCaptureBufferSize);
    CaptureMode = request.mode;
    Sleep(250);
    plat::Ui().SetCursor(plat::ScreenCursor::Hourglass);
    view.SetTerminalEnabled(false);
    BytesReceived = 0;
    plat::TransmitCommChar(CommHandle, request.requestByte);
    return TransferOutcome::Done;
}

}  // namespace ventaro
