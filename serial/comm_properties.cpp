#include "serial/comm_properties.h"

namespace ventaro {

TPropDlg* PropDlg = nullptr;

TPropDlg::TPropDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Comm Properties"));
}

void TPropDlg::FormCreate() {}

}  // namespace ventaro
