// The settings store, end to end: what a start makes of the settings file,
// what a close writes to it, and what a failed or skipped save leaves.
#include "app/settings.h"
#include "serial/comm_properties.h"
#include "serial/serial_state.h"
#include "tests/support/app_harness.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QSettings>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <csignal>

namespace ventaro::testing {
namespace {

std::vector<uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

// Files may grow to limit bytes while this lives; a write past it fails
// (EFBIG) as on a full disk, instead of raising SIGXFSZ.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t limit) {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit lowered = previous_;
        lowered.rlim_cur = limit;
        ::setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }

  private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
};

class Settings : public ::testing::Test {
  protected:
    void SetUp() override { ForgetProcessState(); }

    // What a new process starts with; the load must set all of it itself.
    static void ForgetProcessState() {
        LastDirectory.clear();
        PortIndex = BaudIndex = BitsIndex = ParityIndex = -1;
    }

    void NewApp() { app_ = std::make_unique<AppHarness>(); }
    QString ConfPath() const {
        return app_->home.ConfigDir() + QStringLiteral("/Ventaro/Ventaro.conf");
    }
    QByteArray FileBytes() const {
        QFile file(ConfPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void WriteFile(const QByteArray& bytes) const {
        QFile file(ConfPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    // The device map the harness wrote, then lines of [Ventaro] as typed.
    void WriteSection(const QByteArray& lines) const {
        WriteFile(FileBytes() + "\n[Ventaro]\n" + lines);
    }
    QString Stored(const QString& name) const {
        return QSettings(ConfPath(), QSettings::IniFormat)
            .value(QStringLiteral("Ventaro/") + name)
            .toString();
    }
    void Start() {
        app_->Start();
        ASSERT_TRUE(app_->sim.WaitForReceived(1, 5s));
    }
    // Closes through the close path, then starts afresh on the file it left,
    // every port name pointing at the new simulator.
    void Restart() {
        app_->Close();
        const QByteArray conf = FileBytes();
        app_.reset();
        ForgetProcessState();
        NewApp();
        WriteFile(conf);
        for (int n = 1; n <= 8; ++n) {
            app_->home.PointPort(QStringLiteral("COM%1").arg(n), app_->device);
        }
        Start();
    }
    TMainForm* Form() const { return app_->form; }

    std::unique_ptr<AppHarness> app_;
};

TEST_F(Settings, FirstRunGivesTheDesignedDefaults) {
    NewApp();
    Start();
    EXPECT_EQ(PortIndex, 1);
    EXPECT_EQ(BaudIndex, 3);
    EXPECT_EQ(BitsIndex, 0);
    EXPECT_EQ(ParityIndex, 0);
    EXPECT_EQ(app_->Panel(0), "COM2");
    EXPECT_EQ(app_->Panel(1), "9600,N,8,1");
    EXPECT_EQ(Form()->frameGeometry(), QRect(517, 266, 435, 300));
    EXPECT_TRUE(Form()->WordWrap->isChecked());
    EXPECT_EQ(Form()->Memo1->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_EQ(Form()->Memo1->font().family(), "Courier New");
    EXPECT_EQ(Form()->Memo1->font().pointSize(), 8);
    EXPECT_TRUE(LastDirectory.isEmpty());
    EXPECT_TRUE(Form()->OpenDialog.initialDirectory.isEmpty());
    EXPECT_TRUE(Form()->SaveDialog.initialDirectory.isEmpty());
    EXPECT_TRUE(app_->ui->messages.empty());
}

TEST_F(Settings, CloseThenStartBringsBackAllTwelveValues) {
    NewApp();
    app_->home.PointPort(QStringLiteral("COM6"), app_->device);
    Start();
    PropDlg->PortBox->setCurrentIndex(5);
    PropDlg->BaudBox->setCurrentIndex(5);
    PropDlg->BitBox->setCurrentIndex(1);
    PropDlg->ParityBox->setCurrentIndex(2);
    Form()->move(40, 50);
    Form()->resize(500, 350);
    const QRect bounds = Form()->frameGeometry();
    Form()->WordWrapClick();
    Form()->Memo1->setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 12));
    LastDirectory = QString::fromUtf8("/tmp/a, b/\xC3\xBC=x;#y");
    app_->Close();
    EXPECT_TRUE(app_->ui->errors.isEmpty());

    // Integers as decimal text, the boolean as 0 or 1.
    const std::pair<const char*, QString> stored[] = {
        {"Port", "5"},
        {"Baud", "5"},
        {"Bits", "1"},
        {"Parity", "2"},
        {"FormTop", QString::number(bounds.top())},
        {"FormLeft", QString::number(bounds.left())},
        {"FormHeight", QString::number(bounds.height())},
        {"FormWidth", QString::number(bounds.width())},
        {"WordWrap", "0"},
        {"FontName", "DejaVu Sans Mono"},
        {"FontSize", "12"},
        {"LastDirectory", LastDirectory},
    };
    for (const auto& [name, text] : stored) {
        EXPECT_EQ(Stored(QString::fromLatin1(name)), text) << name;
    }
    QSettings file(ConfPath(), QSettings::IniFormat);
    file.beginGroup(QStringLiteral("Ventaro"));
    EXPECT_EQ(file.childKeys().size(), 12);
    EXPECT_EQ(file.status(), QSettings::NoError);

    const QString folder = LastDirectory;
    Restart();
    EXPECT_EQ(PortIndex, 5);
    EXPECT_EQ(BaudIndex, 5);
    EXPECT_EQ(BitsIndex, 1);
    EXPECT_EQ(ParityIndex, 2);
    EXPECT_EQ(app_->Panel(0), "COM6");
    EXPECT_EQ(app_->Panel(1), "115200,E,7,1");
    EXPECT_EQ(PropDlg->PortBox->currentText(), "COM6");
    EXPECT_EQ(PropDlg->ParityBox->currentText(), "Even");
    EXPECT_EQ(Form()->frameGeometry(), bounds);
    EXPECT_FALSE(Form()->WordWrap->isChecked());
    EXPECT_EQ(Form()->Memo1->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(Form()->Memo1->font().family(), "DejaVu Sans Mono");
    EXPECT_EQ(Form()->Memo1->font().pointSize(), 12);
    EXPECT_EQ(LastDirectory, folder);
    EXPECT_EQ(Form()->OpenDialog.initialDirectory, folder);
    EXPECT_EQ(Form()->SaveDialog.initialDirectory, folder);
}

TEST_F(Settings, ExitWritesNothing) {
    NewApp();
    WriteSection("Port=1\nBaud=0\nBits=0\nParity=0\nFontSize=10\nLastDirectory=/old\n");
    const QByteArray before = FileBytes();
    Start();
    PropDlg->BaudBox->setCurrentIndex(5);
    Form()->WordWrapClick();
    LastDirectory = QStringLiteral("/new");
    Form()->Exit1Click();
    app_->Close();  // what the process entry does once the loop has returned
    EXPECT_EQ(FileBytes(), before);
    EXPECT_TRUE(app_->ui->errors.isEmpty());
}

TEST_F(Settings, ExitAfterAFirstRunLeavesNoSettings) {
    NewApp();
    Start();
    Form()->Exit1Click();
    app_->Close();
    QSettings file(ConfPath(), QSettings::IniFormat);
    EXPECT_FALSE(file.childGroups().contains(QStringLiteral("Ventaro")));
}

TEST_F(Settings, StoredWordWrapOffStartsWithoutWrapAndBothScrollBars) {
    NewApp();
    WriteSection("WordWrap=0\n");
    Start();
    TMemo* memo = Form()->Memo1;
    EXPECT_FALSE(Form()->WordWrap->isChecked());
    EXPECT_EQ(memo->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(memo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    Form()->WordWrapClick();
    EXPECT_TRUE(Form()->WordWrap->isChecked());
    EXPECT_EQ(memo->lineWrapMode(), QPlainTextEdit::WidgetWidth);
}

TEST_F(Settings, EmptyFontNameTakesTheDefaultFaceAtTheStoredSize) {
    NewApp();
    WriteSection("FontName=\nFontSize=12\n");
    Start();
    EXPECT_EQ(Form()->Memo1->font().family(), QFont().family());
    EXPECT_EQ(Form()->Memo1->font().pointSize(), 12);
}

TEST_F(Settings, UnwritableFolderShowsTheErrorAndTheWindowStaysOpen) {
    NewApp();
    Start();
    // A file where the folder should be: not even root can write into it.
    const QString folder = app_->home.ConfigDir() + QStringLiteral("/Ventaro");
    ASSERT_TRUE(QDir(folder).removeRecursively());
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    Form()->close();
    EXPECT_EQ(app_->ui->errors, QStringList{QStringLiteral("Failed to set data for 'Port'")});
    EXPECT_TRUE(Form()->isVisible());
    EXPECT_NE(CommHandle.load(), plat::kNoPort);
    app_->sim.Send(Bytes("still here"));
    EXPECT_TRUE(WaitUntil([&] { return app_->TerminalText().endsWith("still here"); }, 5s));

    Form()->Exit1Click();
    app_->Close();
    EXPECT_FALSE(Form()->isVisible());
    EXPECT_EQ(app_->ui->errors.size(), 1);
}

TEST_F(Settings, FailedWriteLeavesThePreviousFileWhole) {
    NewApp();
    WriteSection("Port=1\nBaud=3\nBits=0\nParity=0\nLastDirectory=/kept\n");
    const QByteArray before = FileBytes();
    Start();
    PropDlg->BaudBox->setCurrentIndex(0);
    {
        // Room for less than the old file: the new one is longer still.
        FileSizeLimit diskFull(rlim_t(before.size()) / 2);
        Form()->close();
    }
    EXPECT_EQ(app_->ui->errors, QStringList{QStringLiteral("Failed to set data for 'Port'")});
    EXPECT_TRUE(Form()->isVisible());
    EXPECT_EQ(FileBytes(), before);
    // No half-written file left beside it either.
    const QStringList left = QDir(app_->home.ConfigDir() + QStringLiteral("/Ventaro"))
                                 .entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(left, QStringList{QStringLiteral("Ventaro.conf")});

    // With room again, the next close stores the change.
    app_->Close();
    EXPECT_EQ(app_->ui->errors.size(), 1);
    EXPECT_EQ(Stored(QStringLiteral("Baud")), "0");
    EXPECT_EQ(Stored(QStringLiteral("LastDirectory")), "/kept");
}

// A damaged file costs only the damaged values, and the next close writes a
// whole one again.
struct BadFile {
    const char* name;
    QByteArray before = {};   // ahead of the device map
    QByteArray section = {};  // [Ventaro] and what follows, after it
    int baud = 3;
    int bits = 0;
    int parity = 0;
    std::optional<QRect> bounds = QRect(517, 266, 435, 300);  // none: not checked
    bool wrap = true;
    QString font = QStringLiteral("Courier New");  // empty: the platform's default face
    int points = 8;
    QString folder = {};
};

void PrintTo(const BadFile& bad, std::ostream* out) {
    *out << bad.name;
}

class DamagedSettings : public Settings, public ::testing::WithParamInterface<BadFile> {};

TEST_P(DamagedSettings, StartCleanlyWithDefaultsForTheBadValuesOnly) {
    const BadFile& bad = GetParam();
    NewApp();
    WriteFile(bad.before + FileBytes() + bad.section);
    Start();
    EXPECT_TRUE(app_->ui->messages.empty());
    EXPECT_EQ(PortIndex, 1);
    EXPECT_EQ(BaudIndex, bad.baud);
    EXPECT_EQ(BitsIndex, bad.bits);
    EXPECT_EQ(ParityIndex, bad.parity);
    EXPECT_EQ(app_->Panel(0), "COM2");
    EXPECT_EQ(PropDlg->PortBox->currentIndex(), 1);
    EXPECT_EQ(PropDlg->BaudBox->currentIndex(), bad.baud);
    EXPECT_EQ(PropDlg->BitBox->currentIndex(), bad.bits);
    EXPECT_EQ(PropDlg->ParityBox->currentIndex(), bad.parity);
    if (bad.bounds) {
        EXPECT_EQ(Form()->frameGeometry(), *bad.bounds);
    }
    EXPECT_EQ(Form()->WordWrap->isChecked(), bad.wrap);
    EXPECT_EQ(Form()->Memo1->font().family(), bad.font.isEmpty() ? QFont().family() : bad.font);
    EXPECT_EQ(Form()->Memo1->font().pointSize(), bad.points);
    EXPECT_EQ(LastDirectory, bad.folder);

    app_->Close();
    EXPECT_TRUE(app_->ui->errors.isEmpty());
    QSettings file(ConfPath(), QSettings::IniFormat);
    EXPECT_EQ(file.status(), QSettings::NoError);
    EXPECT_EQ(Stored(QStringLiteral("Port")), "1");
    EXPECT_EQ(Stored(QStringLiteral("Baud")), QString::number(bad.baud));
    EXPECT_EQ(Stored(QStringLiteral("FontSize")), QString::number(bad.points));
}

INSTANTIATE_TEST_SUITE_P(
    Files, DamagedSettings,
    ::testing::Values(BadFile{.name = "GarbageAroundTheDeviceMap",
                              .before = QByteArray("\x01\xff\xfe garbage\n[[[\n", 16),
                              .section = "\n\x02\x03 more garbage\n"},
                      BadFile{.name = "CutOffMidWrite",
                              .section = "\n[Ventaro]\nBaud=0\nBits=1\nFormTop=30\nFormLe",
                              .baud = 0,
                              .bits = 1,
                              .bounds = QRect(517, 30, 435, 300),
                              .font = ""},
                      BadFile{.name = "WrongTypes",
                              .section = "\n[Ventaro]\nPort=COM3\nBaud=5\nBits=1\nParity=odd\n"
                                         "FormTop=12.5\nFormLeft=40\nFormHeight=\nWordWrap=yes\n"
                                         "FontName=Mono, Bold\nFontSize=big\nLastDirectory=/data\n",
                              .baud = 5,
                              .bits = 1,
                              .bounds = QRect(40, 266, 435, 300),
                              .folder = "/data"},
                      BadFile{.name = "BoundsNoWindowCouldHave",
                              .section = "\n[Ventaro]\nFormTop=-2147483648\nFormLeft=2147483647\n"
                                         "FormHeight=-5\nFormWidth=2147483647\n",
                              .bounds = std::nullopt,
                              .font = ""},
                      BadFile{.name = "IndicesOutsideTheirTables",
                              .section = "\n[Ventaro]\nPort=8\nBaud=-1\nBits=2\nParity=3\n",
                              .font = ""},
                      BadFile{.name = "FontTooLarge",
                              .section = "\n[Ventaro]\nFontName=DejaVu Sans Mono\nFontSize=400\n",
                              .font = "DejaVu Sans Mono",
                              .points = 18},
                      BadFile{.name = "FontTooSmall",
                              .section = "\n[Ventaro]\nFontName=DejaVu Sans Mono\nFontSize=-3\n",
                              .font = "DejaVu Sans Mono",
                              .points = 5}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ventaro::testing

int main(int argc, char** argv) {
    return ventaro::testing::RunWindowedTests(argc, argv, false);
}
