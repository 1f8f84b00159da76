// The Comm Properties dialog: port, baud rate, data bits and parity, each
// choice applied at once; nothing to confirm or cancel.
#pragma once

#include <QDialog>

namespace ventaro {

class TPropDlg : public QDialog {
    Q_OBJECT
  public:
    explicit TPropDlg(QWidget* parent);
    void FormCreate();
};

extern TPropDlg* PropDlg;

}  // namespace ventaro
