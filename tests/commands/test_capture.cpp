// Get Pgm and Get ASCII Pgm: the file's exact bytes, the terminal and the
// status bar while and after the capture runs.
#include "serial/receive_thread.h"
#include "tests/commands/commands_fixture.h"

namespace ventaro::testing {
namespace {

struct CaptureCase {
    const char* name;
    bool ascii;
    std::string program;
    QByteArray file;
};

class Capture : public Transfers, public ::testing::WithParamInterface<CaptureCase> {};

TEST_P(Capture, WritesTheFilteredTextAndOneZero) {
    const CaptureCase& c = GetParam();
    brenvix::SimConfig config;
    (c.ascii ? config.asciiProgram : config.program) = Bytes(c.program);
    StartApp(config);
    const QString path = app_->home.Path("out.pgm");
    app_->ui->files.push_back(path);
    c.ascii ? app_->form->GetASCIIPgm1Click() : app_->form->GetPgm1Click();
    ASSERT_TRUE(CaptureEnded());
    EXPECT_EQ(ReadFile(path), c.file);
    EXPECT_EQ(Sent(), (std::vector<uint8_t>{0x10, 0x10, uint8_t(c.ascii ? 0x01 : 0x15)}));
}

QByteArray Z(const char* text, size_t n) {
    return QByteArray(text, qsizetype(n));
}

// ASCII listings of 81 characters or more, so the capture ends after a short silence.
const std::string kLongAscii(90, 'L');

INSTANTIATE_TEST_SUITE_P(
    Programs, Capture,
    ::testing::Values(
        CaptureCase{"LineEnds", false, "A\r\nB\n\rC\rD\nE", Z("A\r\nB\r\nC\r\nDE\0", 12)},
        CaptureCase{"DegreeKeptInPgm", false, "T\xDF\xB0", Z("T\xDF\xB0\0", 4)},
        CaptureCase{"DegreeBecomesB0InAscii", true, kLongAscii + "T\xDF\xB0",
                    QByteArray::fromStdString(kLongAscii) + Z("T\xB0\xB0\0", 4)},
        CaptureCase{"ZeroCutsItsBlock", false, std::string("AB\0CD", 5), Z("AB\0", 3)},
        CaptureCase{"TabsAndHighBytesPass", false, "\t\x81\xFF", Z("\t\x81\xFF\0", 4)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Transfers, NoAnswerGivesAFileOfOneZeroByte) {
    brenvix::SimConfig config;
    config.scriptedReplies[0x15] = {""};
    StartApp(config);
    const QString path = app_->home.Path("empty.pgm");
    app_->ui->files.push_back(path);
    app_->form->GetPgm1Click();
    ASSERT_TRUE(CaptureEnded());
    EXPECT_EQ(ReadFile(path), Z("\0", 1));
    EXPECT_EQ(app_->Panel(2), " ");
    EXPECT_EQ(app_->ui->beeps, 1);
}

TEST(CaptureEnd, AsciiWaitsLongWhileTheTextIsShort) {
    EXPECT_EQ(CaptureIdleLimit(3, 0), 150);
    EXPECT_EQ(CaptureIdleLimit(3, 80), 150);
    EXPECT_EQ(CaptureIdleLimit(3, 81), 10);
    EXPECT_EQ(CaptureIdleLimit(2, 0), 10);
    EXPECT_EQ(CaptureIdleLimit(2, 5000), 10);
}

TEST_F(Transfers, LargeProgramIsKeptWholeAndTheTerminalShowsItsStart) {
    std::string program;
    for (int line = 0; program.size() < 24000; ++line) {
        program += std::to_string(line) + " PRINT \"LINE\"\r\n";
    }
    brenvix::SimConfig config;
    config.program = Bytes(program);
    StartApp(config);
    const QString path = app_->home.Path("big.pgm");
    app_->ui->files.push_back(path);
    app_->form->GetPgm1Click();
    EXPECT_FALSE(app_->form->Memo1->isEnabled());
    EXPECT_EQ(app_->ui->cursor, plat::ScreenCursor::Hourglass);
    ASSERT_TRUE(CaptureEnded());
    QByteArray expected = QByteArray::fromStdString(program);
    expected.append('\0');
    EXPECT_EQ(ReadFile(path), expected);
    EXPECT_EQ(app_->ui->cursor, plat::ScreenCursor::Default);
    // The terminal copy is cut at 9,999 characters (CR LF pairs count as two).
    QString shown = app_->TerminalText();
    shown.replace("\n", "\r\n");
    EXPECT_EQ(shown.toLatin1(), QByteArray::fromStdString(program.substr(0, 9999)));
    EXPECT_TRUE(panelTexts_.contains(QString("Bytes Rcv'd: %1").arg(program.size())))
        << panelTexts_.join('|').toStdString();
    EXPECT_EQ(app_->Panel(2), " ");
    EXPECT_EQ(app_->ui->beeps, 1);
}

TEST_F(Transfers, SecondTransferDuringACaptureIsRefused) {
    brenvix::SimConfig config;
    config.scriptedReplies[0x01] = {""};  // the ASCII capture waits for 7.5 s of silence
    StartApp(config);
    const QString first = app_->home.Path("first.asc");
    const QString second = app_->home.Path("second.pgm");
    app_->ui->files.push_back(first);
    app_->ui->files.push_back(second);
    app_->form->GetASCIIPgm1Click();
    ASSERT_NE(CaptureMode.load(), CaptureKind::Terminal);
    app_->form->GetPgm1Click();
    app_->form->SendPgm1Click();
    EXPECT_EQ(Messages(),
              QStringList({"Another transfer is running.\r\nWait until it has finished.",
                           "Another transfer is running.\r\nWait until it has finished."}));
    EXPECT_FALSE(QFile::exists(second));
    app_->form->close();  // ends the capture as silence would
    EXPECT_EQ(ReadFile(first), Z("\0", 1));
}

TEST_F(Transfers, FileThatCannotBeOpenedIsReported) {
    StartApp();
    app_->ui->files.push_back(app_->home.Path("no/such/folder/x.pgm"));
    app_->form->GetPgm1Click();
    EXPECT_EQ(Messages(), QStringList({"Windows cannot open file."}));
    EXPECT_EQ(CaptureMode.load(), CaptureKind::Terminal);
}

}  // namespace
}  // namespace ventaro::testing

int main(int argc, char** argv) {
    return ventaro::testing::RunWindowedTests(argc, argv, false);
}
