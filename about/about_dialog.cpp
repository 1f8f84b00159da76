#include "about/about_dialog.h"

namespace ventaro {

TAboutDlg* AboutDlg = nullptr;

TAboutDlg::TAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Ventaro"));
}

void TAboutDlg::StaticText5Click() {}

}  // namespace ventaro
