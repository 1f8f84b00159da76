#include "serial/comm_properties.h"
#include "platform/port_description.h"

#include "platform/config_file.h"
#include "platform/ui_services.h"
#include "serial/comm_port.h"
#include "serial/serial_state.h"

#include <QComboBox>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QSignalBlocker>

#include <algorithm>

namespace ventaro {

TPropDlg* PropDlg = nullptr;

namespace {

constexpr int kClientWidth = 283;
constexpr int kClientHeight = 200;  // the lists' 140, and the device row below them
constexpr int kDescriptionRole = Qt::UserRole + 1;

QComboBox* MakeList(QWidget* parent, const QStringList& items, const QRect& bounds) {
    auto* box = new QComboBox(parent);
    box->addItems(items);
    box->setGeometry(bounds);
    return box;
}

template <size_t N>
QStringList Entries(const std::array<const char*, N>& table) {
    QStringList items;
    for (const char* entry : table) {
        items << QString::fromLatin1(entry);
    }
    return items;
}

// Right-aligned to the same edge; wider than designed only if this
// machine's font needs it.
QLabel* MakeLabel(QWidget* panel, const QString& text, int left, int top, int width) {
    auto* label = new QLabel(text, panel);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    const int right = left + width;
    width = std::max(width, label->fontMetrics().horizontalAdvance(text) + 2);
    label->setGeometry(right - width, top, width, 13);
    return label;
}

void Select(QComboBox* box, int index, int fallback) {
    const QSignalBlocker quiet(box);
    box->setCurrentIndex(index >= 0 && index < box->count() ? index : fallback);
}

}  // namespace

TPropDlg::TPropDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Comm Properties"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);
    setFixedSize(kClientWidth, kClientHeight);
    BuildPanel();
    BuildDeviceRow();
    setTabOrder(PortBox, BaudBox);
    setTabOrder(BaudBox, BitBox);
    setTabOrder(BitBox, Button1);
    setTabOrder(Button1, ParityBox);
    setTabOrder(ParityBox, deviceBox_);
}

void TPropDlg::BuildPanel() {
    Panel1 = new QFrame(this);
    Panel1->setGeometry(10, 10, 183, 119);
    Panel1->setFrameStyle(QFrame::Box | QFrame::Sunken);  // lowered outside, raised inside
    Label1 = MakeLabel(Panel1, QStringLiteral("Port"), 48, 14, 19);
    Label2 = MakeLabel(Panel1, QStringLiteral("Baud Rate"), 16, 39, 51);
    Label3 = MakeLabel(Panel1, QStringLiteral("Data Bits"), 24, 64, 43);
    Label4 = MakeLabel(Panel1, QStringLiteral("Parity"), 41, 90, 26);
    // The lists lie over the panel, each beside its label.
    PortBox = MakeList(this, Entries(kPortNames), QRect(87, 19, 85, 21));
    BaudBox = MakeList(this, Entries(kBaudRates), QRect(87, 45, 85, 21));
    BitBox = MakeList(this, Entries(kDataBits), QRect(87, 70, 85, 21));
    ParityBox =
        MakeList(this, {QStringLiteral("None"), QStringLiteral("Odd"), QStringLiteral("Even")},
                 QRect(87, 96, 85, 21));
    connect(PortBox, &QComboBox::currentIndexChanged, this, &TPropDlg::PortBoxChange);
    connect(BaudBox, &QComboBox::currentIndexChanged, this, &TPropDlg::BaudBoxChange);
    connect(BitBox, &QComboBox::currentIndexChanged, this, &TPropDlg::BitBoxChange);
    connect(ParityBox, &QComboBox::currentIndexChanged, this, &TPropDlg::ParityBoxChange);

    Button1 = new QPushButton(QStringLiteral("Close"), this);
    Button1->setGeometry(206, 10, 67, 23);
    // Enter in the device field takes the typed path; it must not close.
    Button1->setAutoDefault(false);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
}

void TPropDlg::BuildDeviceRow() {
    deviceLabel_ = new QLabel(this);
    deviceLabel_->setGeometry(10, 139, 263, 13);
    deviceBox_ = new QComboBox(this);
    deviceBox_->setEditable(true);
    deviceBox_->setInsertPolicy(QComboBox::NoInsert);
    deviceBox_->setGeometry(10, 155, 263, 21);
    deviceLabel_->setBuddy(deviceBox_);
    deviceNote_ = new QLabel(this);
    deviceNote_->setTextFormat(Qt::PlainText);
    deviceNote_->setGeometry(10, 180, 263, 13);
    connect(deviceBox_, &QComboBox::activated, this, &TPropDlg::DeviceActivated);
    connect(deviceBox_->lineEdit(), &QLineEdit::editingFinished, this,
            [this] { ChooseDevice(deviceBox_->currentText()); });
}

void TPropDlg::FormCreate() {
    Select(PortBox, PortIndex, kDefaultPortIndex);
    Select(BaudBox, BaudIndex, kDefaultBaudIndex);
    Select(BitBox, BitsIndex, kDefaultBitsIndex);
    Select(ParityBox, ParityIndex, kDefaultParityIndex);
    ListMachinePorts();
    ShowSelectedDevice();
}

void TPropDlg::PortBoxChange() {
    PortIndex = PortBox->currentIndex();
    ShowSelectedDevice();
    OpenCommPort();
}

void TPropDlg::BaudBoxChange() {
    BaudIndex = BaudBox->currentIndex();
    ApplyCommSettings();
}

void TPropDlg::BitBoxChange() {
    BitsIndex = BitBox->currentIndex();
    ApplyCommSettings();
}

void TPropDlg::ParityBoxChange() {
    ParityIndex = ParityBox->currentIndex();
    ApplyCommSettings();
}

void TPropDlg::showEvent(QShowEvent* event) {
    // Adapters come and go while the program runs.
    ListMachinePorts();
    ShowSelectedDevice();
    QDialog::showEvent(event);
}

void TPropDlg::ListMachinePorts() {
    const QSignalBlocker quiet(deviceBox_);
    deviceBox_->clear();
    QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    std::sort(ports.begin(), ports.end(),
              [](const auto& a, const auto& b) { return a.systemLocation() < b.systemLocation(); });
    for (const QSerialPortInfo& port : ports) {
        const QString description = plat::DescribeSerialPort(port);
        QString text = port.systemLocation();
        if (!description.isEmpty()) {
            text += QStringLiteral("  (") + description + QLatin1Char(')');
        }
        deviceBox_->addItem(text, port.systemLocation());
        deviceBox_->setItemData(deviceBox_->count() - 1, description, kDescriptionRole);
    }
}

void TPropDlg::ShowSelectedDevice() {
    const QString name = PortBox->currentText();
    const QString device = plat::PortDevice(name);
    deviceLabel_->setText(QStringLiteral("Device for %1:").arg(name));
    deviceBox_->setEditText(device);
    // A link such as /dev/serial/by-id/... names a listed port too.
    const QString target = QFileInfo(device).canonicalFilePath();
    for (int i = 0; i < deviceBox_->count(); ++i) {
        const QString listed = deviceBox_->itemData(i).toString();
        if (listed == device || listed == target) {
            deviceNote_->setText(deviceBox_->itemData(i, kDescriptionRole).toString());
            return;
        }
    }
    deviceNote_->setText(QFileInfo::exists(device) ? QString()
                                                   : QStringLiteral("Not found on this machine"));
}

void TPropDlg::DeviceActivated(int index) {
    const QString device = deviceBox_->itemData(index).toString();
    deviceBox_->setEditText(device);
    ChooseDevice(device);
}

void TPropDlg::ChooseDevice(const QString& device) {
    const QString name = PortBox->currentText();
    const QString path = device.trimmed();
    const QString before = plat::PortDevice(name);
    if ((path.isEmpty() ? plat::DefaultPortDevice(name) : path) == before) {
        ShowSelectedDevice();
        return;
    }
    // Stored before the port is opened: a message box over the dialog takes
    // the focus from the field, which must then find nothing left to do.
    if (!plat::SetPortDevice(name, path)) {
        plat::Ui().MessageBox(QStringLiteral("Unable to store the device for %1.").arg(name),
                              false);
        ShowSelectedDevice();
        return;
    }
    ShowSelectedDevice();
    if (PortBox->currentIndex() == PortIndex) {
        OpenCommPort();
    }
}

}  // namespace ventaro
