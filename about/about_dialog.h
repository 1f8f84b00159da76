// The About dialog: name, version label, maker, link and disclaimer.
#pragma once

#include <QDialog>

namespace ventaro {

class TAboutDlg : public QDialog {
    Q_OBJECT
  public:
    explicit TAboutDlg(QWidget* parent);
    void StaticText5Click();
};

extern TAboutDlg* AboutDlg;

}  // namespace ventaro
