#include "device/transfer_guard.h"

#include "app/settings.h"
#include "serial/serial_state.h"

#include <QFileInfo>

namespace ventaro {
namespace {

int foregroundDepth = 0;
constexpr int kMaxDirectoryChars = 499;

const QString kBusyText =
    QStringLiteral("Another transfer is running.\r\nWait until it has finished.");

}  // namespace

ForegroundOperation::ForegroundOperation() {
    ++foregroundDepth;
}
ForegroundOperation::~ForegroundOperation() {
    --foregroundDepth;
}

bool ForegroundBusy() {
    return foregroundDepth > 0;
}

bool RefuseTransfer() {
    if (!ForegroundBusy() && CaptureMode.load() == CaptureKind::Terminal) {
        return false;
    }
    plat::Ui().MessageBox(kBusyText, false);
    return true;
}

bool RefuseCommand() {
    if (!ForegroundBusy()) {
        return false;
    }
    plat::Ui().MessageBox(kBusyText, false);
    return true;
}

void RememberFolderOf(const QString& file, plat::FileRequest& dialog) {
    QString folder = QFileInfo(file).absolutePath();
    if (folder.toLocal8Bit().size() > kMaxDirectoryChars - 1) {
        folder.clear();
    }
    LastDirectory = folder;
    dialog.initialDirectory = QFileInfo(file).absolutePath();
}

}  // namespace ventaro
