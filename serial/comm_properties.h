// The Comm Properties dialog: port, baud rate, data bits and parity, each
// choice applied at once; nothing to confirm or cancel.
//
// How it works:
// - Each list holds its table's entries in table order, so a list's index is
//   the table index. The lists are filled from the indices once, at creation;
//   after that only the user changes them, and every change goes straight to
//   the shared index and the port (a port change reopens it; a line-setting
//   change re-applies the settings to the open port).
// - Below the lists, the device row shows which device the selected port name
//   stands for, offers the serial ports this machine has (with the adapter's
//   description where the system gives one) and takes a typed path. A new
//   device is written to the device map at once and the port reopened.
#pragma once

#include <QDialog>

class QComboBox;
class QFrame;
class QLabel;
class QPushButton;

namespace ventaro {

class TPropDlg : public QDialog {
    Q_OBJECT
  public:
    explicit TPropDlg(QWidget* parent);
    void FormCreate();

    void PortBoxChange();
    void BaudBoxChange();
    void BitBoxChange();
    void ParityBoxChange();

    QFrame* Panel1 = nullptr;
    QLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr, *Label4 = nullptr;
    QComboBox *PortBox = nullptr, *BaudBox = nullptr, *BitBox = nullptr, *ParityBox = nullptr;
    QPushButton* Button1 = nullptr;

    // The device row.
    QComboBox* DeviceBox() const { return deviceBox_; }
    QLabel* DeviceNote() const { return deviceNote_; }
    // Points the selected port name at device ("" for the name's default).
    void ChooseDevice(const QString& device);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void BuildPanel();
    void BuildDeviceRow();
    void ListMachinePorts();
    void ShowSelectedDevice();
    void DeviceActivated(int index);

    QLabel* deviceLabel_ = nullptr;
    QComboBox* deviceBox_ = nullptr;
    QLabel* deviceNote_ = nullptr;
};

extern TPropDlg* PropDlg;

}  // namespace ventaro
