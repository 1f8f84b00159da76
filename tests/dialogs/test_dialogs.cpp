// Comm Properties and About, shown as the menus show them, with the program
// against the simulator; screenshots of both under a real X server. Also the
// version facts of the executable.
#include "about/about_dialog.h"
#include "serial/comm_properties.h"
#include "serial/serial_state.h"
#include "tests/support/app_harness.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <termios.h>

namespace ventaro::testing {
namespace {

const QString kOpenFailed = QStringLiteral(
    "Unable to open COM port.\r\nThe port may be in use or does not exist on your machine.");

// Runs open(), which shows dialog modally, and whileShown() once the dialog
// is up. The dialog is ended afterwards whatever happened, so no test can
// hang in its modal loop.
void WhileModal(QDialog* dialog, const std::function<void()>& open,
                const std::function<void()>& whileShown) {
    bool ran = false;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, dialog, [&] {
        if (ran || !dialog->isVisible()) {
            return;
        }
        ran = true;
        poll.stop();
        whileShown();
        if (dialog->isVisible()) {
            dialog->done(QDialog::Accepted);
        }
    });
    poll.start();
    open();
    EXPECT_TRUE(ran) << "the dialog was never shown";
    EXPECT_FALSE(dialog->isVisible());
}

QStringList Items(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i) {
        items << box->itemText(i);
    }
    return items;
}

std::optional<termios> LineOf(plat::PortHandle port) {
    termios tio{};
    if (::tcgetattr(port, &tio) != 0) {
        return std::nullopt;
    }
    return tio;
}

class Dialogs : public ::testing::Test {
  protected:
    void SetUp() override { app_ = std::make_unique<AppHarness>(); }
    void StoreSettings(const QByteArray& lines) {
        QFile file(app_->home.ConfigDir() + QStringLiteral("/Ventaro/Ventaro.conf"));
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write("\n[Ventaro]\n" + lines);
    }
    void Start() {
        app_->Start();
        ASSERT_TRUE(app_->sim.WaitForReceived(1, 5s));
    }
    TMainForm* Form() const { return app_->form; }

    std::unique_ptr<AppHarness> app_;
};

struct StoredLine {
    const char* name;
    QByteArray settings;
    QStringList shown;  // port, baud, bits, parity
};

void PrintTo(const StoredLine& line, std::ostream* out) {
    *out << line.name;
}

class CommPropertiesShows : public Dialogs, public ::testing::WithParamInterface<StoredLine> {};

TEST_P(CommPropertiesShows, TheStoredSelectionsBesideTheMainWindow) {
    app_->home.PointPort(QStringLiteral("COM6"), app_->device);
    StoreSettings(GetParam().settings);
    Start();
    Form()->move(130, 90);
    WhileModal(
        PropDlg, [&] { Form()->MenuFilePropClick(); },
        [&] {
            EXPECT_EQ(PropDlg->windowTitle(), "Comm Properties");
            EXPECT_EQ(PropDlg->frameGeometry().topLeft(),
                      Form()->frameGeometry().topLeft() + QPoint(50, 50));
            EXPECT_EQ(Items(PropDlg->PortBox), QStringList({"COM1", "COM2", "COM3", "COM4", "COM5",
                                                            "COM6", "COM7", "COM8"}));
            EXPECT_EQ(Items(PropDlg->BaudBox),
                      QStringList({"1200", "2400", "4800", "9600", "38400", "115200"}));
            EXPECT_EQ(Items(PropDlg->BitBox), QStringList({"8", "7"}));
            EXPECT_EQ(Items(PropDlg->ParityBox), QStringList({"None", "Odd", "Even"}));
            const QStringList shown = {
                PropDlg->PortBox->currentText(), PropDlg->BaudBox->currentText(),
                PropDlg->BitBox->currentText(), PropDlg->ParityBox->currentText()};
            EXPECT_EQ(shown, GetParam().shown);
            EXPECT_EQ(PropDlg->DeviceBox()->currentText(), app_->device);
            app_->Screenshot(
                PropDlg, QStringLiteral("comm-properties-") + QString::fromLatin1(GetParam().name));
            PropDlg->Button1->click();
        });
}

INSTANTIATE_TEST_SUITE_P(Settings, CommPropertiesShows,
                         ::testing::Values(StoredLine{"Designed",
                                                      "Port=1\nBaud=3\nBits=0\nParity=0\n",
                                                      {"COM2", "9600", "8", "None"}},
                                           StoredLine{"Changed",
                                                      "Port=5\nBaud=4\nBits=1\nParity=2\n",
                                                      {"COM6", "38400", "7", "Even"}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Dialogs, LineSettingsApplyAtOnceWithoutReopeningThePort) {
    Start();
    PropDlg->ParityBox->setFocus();
    QTest::keyClick(PropDlg->ParityBox, Qt::Key_Down);  // None -> Odd
    EXPECT_EQ(PropDlg->ParityBox->currentText(), "Odd");
    EXPECT_EQ(ParityIndex, 1);
    EXPECT_EQ(app_->Panel(1), "9600,O,8,1");
    // A pseudo-terminal forces 8 bits without parity but keeps the odd flag and the rate.
    auto line = LineOf(CommHandle);
    ASSERT_TRUE(line);
    EXPECT_TRUE(line->c_cflag & PARODD);
    EXPECT_EQ(::cfgetospeed(&*line), speed_t(B9600));

    PropDlg->BaudBox->setCurrentIndex(0);
    EXPECT_EQ(app_->Panel(1), "1200,O,8,1");
    line = LineOf(CommHandle);
    ASSERT_TRUE(line);
    EXPECT_EQ(::cfgetospeed(&*line), speed_t(B1200));
    PropDlg->BitBox->setCurrentIndex(1);
    EXPECT_EQ(app_->Panel(1), "1200,O,7,1");
    EXPECT_EQ(BitsIndex, 1);

    EXPECT_EQ(PortReady.load(), 1);
    EXPECT_TRUE(app_->ui->messages.empty());
}

TEST_F(Dialogs, PortWithoutADeviceIsReportedAndStaysChosen) {
    const QString missing = app_->home.Path(QStringLiteral("no-such-device"));
    app_->home.PointPort(QStringLiteral("COM5"), missing);
    Start();
    PropDlg->PortBox->setCurrentIndex(4);
    ASSERT_EQ(app_->ui->messages.size(), 1u);
    EXPECT_EQ(app_->ui->messages[0].text, kOpenFailed);
    EXPECT_EQ(PropDlg->PortBox->currentText(), "COM5");
    EXPECT_EQ(PortIndex, 4);
    EXPECT_EQ(CommHandle.load(), plat::kNoPort);
    EXPECT_EQ(app_->Panel(0), " ");
    EXPECT_EQ(PropDlg->DeviceBox()->currentText(), missing);
    EXPECT_EQ(PropDlg->DeviceNote()->text(), "Not found on this machine");

    app_->Close();
    QSettings file(app_->home.ConfigDir() + QStringLiteral("/Ventaro/Ventaro.conf"),
                   QSettings::IniFormat);
    EXPECT_EQ(file.value(QStringLiteral("Ventaro/Port")).toString(), "4");
}

// The two ways to name a device: typed into the field, or picked from the
// machine's ports (shown with the adapter's description).
struct DeviceChoice {
    const char* name;
    void (*choose)(TPropDlg* dialog, const QString& device);
};

void PrintTo(const DeviceChoice& choice, std::ostream* out) {
    *out << choice.name;
}

class PointingCom2 : public Dialogs, public ::testing::WithParamInterface<DeviceChoice> {};

TEST_P(PointingCom2, AtTheSimulatorReopensIt) {
    app_->PointCom2(app_->home.Path(QStringLiteral("nothing-here")));
    app_->Start();
    ASSERT_EQ(app_->ui->messages.size(), 1u);
    ASSERT_EQ(CommHandle.load(), plat::kNoPort);

    GetParam().choose(PropDlg, app_->device);
    EXPECT_NE(CommHandle.load(), plat::kNoPort);
    EXPECT_EQ(app_->Panel(0), "COM2");
    EXPECT_EQ(app_->Panel(1), "9600,N,8,1");
    EXPECT_EQ(app_->ui->messages.size(), 1u);
    EXPECT_EQ(PropDlg->DeviceBox()->currentText(), app_->device);
    QSettings file(app_->home.ConfigDir() + QStringLiteral("/Ventaro/Ventaro.conf"),
                   QSettings::IniFormat);
    EXPECT_EQ(file.value(QStringLiteral("PortDevices/COM2")).toString(), app_->device);

    Form()->GetFirmwareVersion1Click();
    ASSERT_TRUE(app_->sim.WaitForReceived(1, 5s));
    EXPECT_EQ(app_->sim.ReceivedBytes(), std::vector<uint8_t>{0x16});
}

INSTANTIATE_TEST_SUITE_P(
    Ways, PointingCom2,
    ::testing::Values(DeviceChoice{"Typed",
                                   [](TPropDlg* dialog, const QString& device) {
                                       QLineEdit* field = dialog->DeviceBox()->lineEdit();
                                       field->setFocus();
                                       field->setText(device);
                                       QTest::keyClick(field, Qt::Key_Return);
                                   }},
                      DeviceChoice{"Listed",
                                   [](TPropDlg* dialog, const QString& device) {
                                       QComboBox* box = dialog->DeviceBox();
                                       box->addItem(device + QStringLiteral("  (USB adapter)"),
                                                    device);
                                       emit box->activated(box->count() - 1);
                                   }}),
    [](const auto& info) { return std::string(info.param.name); });

struct AboutKey {
    const char* name;
    Qt::Key key;
    bool closes;
};

void PrintTo(const AboutKey& key, std::ostream* out) {
    *out << key.name;
}

class AboutKeys : public Dialogs, public ::testing::WithParamInterface<AboutKey> {};

TEST_P(AboutKeys, OnlyOkEndsTheDialog) {
    Start();
    Form()->move(210, 140);
    WhileModal(
        AboutDlg, [&] { Form()->About1Click(); },
        [&] {
            EXPECT_EQ(AboutDlg->frameGeometry().topLeft(),
                      Form()->frameGeometry().topLeft() + QPoint(25, 60));
            ASSERT_EQ(AboutDlg->focusWidget(), AboutDlg->Button1);
            QTest::keyClick(AboutDlg->focusWidget(), GetParam().key);
            EXPECT_EQ(AboutDlg->isVisible(), !GetParam().closes);
        });
}

INSTANTIATE_TEST_SUITE_P(Keys, AboutKeys,
                         ::testing::Values(AboutKey{"Enter", Qt::Key_Return, true},
                                           AboutKey{"KeypadEnter", Qt::Key_Enter, true},
                                           AboutKey{"Space", Qt::Key_Space, true},
                                           AboutKey{"Esc", Qt::Key_Escape, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// Stands in for the desktop's web browser.
class Browser : public QObject {
    Q_OBJECT
  public:
    QList<QUrl> opened;
  public slots:
    void Open(const QUrl& url) { opened << url; }
};

TEST_F(Dialogs, AboutShowsItsTextsAndTheLinkOpensTheSite) {
    Start();
    Browser browser;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &browser, "Open");
    WhileModal(
        AboutDlg, [&] { Form()->About1Click(); },
        [&] {
            EXPECT_EQ(AboutDlg->windowTitle(), "About Ventaro");
            EXPECT_EQ(AboutDlg->StaticText2->text(), "Ventaro");
            EXPECT_EQ(AboutDlg->StaticText3->text(), "for Windows 9x/NT/2000");
            EXPECT_EQ(AboutDlg->StaticText4->text(), "BETA Version 0.19");
            EXPECT_EQ(AboutDlg->Image2->pixmap().size(), QSize(75, 89));
            for (QWidget* child : AboutDlg->findChildren<QWidget*>()) {
                if (child != AboutDlg->Button1) {
                    EXPECT_EQ(child->focusPolicy(), Qt::NoFocus)
                        << child->metaObject()->className();
                }
            }
            app_->Screenshot(AboutDlg, QStringLiteral("about"));
            QTest::mouseClick(AboutDlg->StaticText5, Qt::LeftButton);
            QTest::mouseClick(AboutDlg->StaticText5, Qt::LeftButton);
            EXPECT_TRUE(AboutDlg->isVisible());
            AboutDlg->Button1->click();
        });
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    EXPECT_EQ(browser.opened,
              QList<QUrl>(2, QUrl(QStringLiteral("https://www.quillmoor.example/"))));
}

TEST(Version, PrintedWithoutDisplaySettingsOrPort) {
    TestHome home;
    brenvix::Simulator sim;
    home.PointPort(QStringLiteral("COM2"), QString::fromStdString(sim.OpenPty()));
    sim.Start();
    const QString settingsBefore = home.ConfigDir() + QStringLiteral("/Ventaro/Ventaro.conf");
    QFile conf(settingsBefore);
    ASSERT_TRUE(conf.open(QIODevice::ReadOnly));
    const QByteArray before = conf.readAll();
    conf.close();

    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", home.ConfigDir());
    env.insert("XDG_RUNTIME_DIR", home.RuntimeDir());
    env.remove("DISPLAY");
    env.insert("QT_QPA_PLATFORM", "no-such-platform");
    process.setProcessEnvironment(env);
    process.start(VENTARO_EXECUTABLE, {QStringLiteral("--version")});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    const QStringList lines = QString::fromUtf8(process.readAllStandardOutput()).split('\n');
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[0], "Ventaro for Windows 9x/NT/2000 0.15 Beta");
    EXPECT_TRUE(lines[1].contains("Ventaro for Windows 95")) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].contains("0.1.5.0")) << lines[1].toStdString();

    ASSERT_TRUE(conf.open(QIODevice::ReadOnly));
    EXPECT_EQ(conf.readAll(), before);
    EXPECT_TRUE(QDir(home.RuntimeDir()).isEmpty());
    EXPECT_TRUE(sim.ReceivedBytes().empty());
}

}  // namespace
}  // namespace ventaro::testing

int main(int argc, char** argv) {
    return ventaro::testing::RunWindowedTests(argc, argv, true);
}

#include "test_dialogs.moc"
