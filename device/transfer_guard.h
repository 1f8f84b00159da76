// Keeps the port to one foreground operation at a time.
//
// The window stays live while a capture runs and while a records download
// processes events, and even a plain hand-over of the port may run the
// receive thread's pending display work, which lets queued input through.
// So every command that uses the port first asks here, and is refused with a
// message while another operation owns the port or a capture is running.
#pragma once

#include "platform/ui_services.h"

#include <QString>

namespace ventaro {

// How a transfer command ended, for callers that report it (the command-line tool).
enum class TransferOutcome {
    Done,         // finished (a capture: started, and ended by the receive thread)
    Cancelled,    // the file dialog was cancelled
    Busy,         // another transfer owns the port
    Refused,      // the instrument is busy or silent, or the user declined
    FileError,    // the file could not be opened
    GaveUp,       // a records download that failed too often in a row
    Interrupted,  // the program is ending
};

// Held for the length of a foreground operation on the port.
class ForegroundOperation {
  public:
    ForegroundOperation();
    ~ForegroundOperation();
    ForegroundOperation(const ForegroundOperation&) = delete;
    ForegroundOperation& operator=(const ForegroundOperation&) = delete;
};

bool ForegroundBusy();
// True (after telling the user) when a transfer must not start now.
bool RefuseTransfer();
// True (after telling the user) when even a one-byte command must wait.
bool RefuseCommand();

// The folder of a chosen file becomes LastDirectory and the dialog's next
// starting folder. A path too long for the old 500-byte buffer gives an
// empty folder, as it always has.
void RememberFolderOf(const QString& file, plat::FileRequest& dialog);

}  // namespace ventaro
