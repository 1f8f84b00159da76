// Send Pgm: what reaches the instrument, the terminal echo and the progress.
#include "device/program_send.h"
#include "tests/commands/commands_fixture.h"

namespace ventaro::testing {
namespace {

std::vector<uint8_t> StoredAfterSend(AppHarness& app, size_t expected) {
    app.sim.WaitFor([&] { return app.sim.StoredProgram().size() >= expected; }, 20s);
    return app.sim.StoredProgram();
}

class Send : public Transfers {
  protected:
    // Sends the file and returns once the send has ended (it blocks the window).
    void SendFile(const QByteArray& content) {
        const QString path = app_->home.Path("send.pgm");
        WriteFile(path, content);
        app_->ui->files.push_back(path);
        app_->form->SendPgm1Click();
    }
};

TEST_F(Send, GetPgmFileGoesOutWithSingleCarriageReturns) {
    StartApp();
    QByteArray file("10 A=1\r\n20 END\r\n", 16);
    file.append('\0');
    SendFile(file);
    const auto stored = StoredAfterSend(*app_, 12);
    EXPECT_EQ(std::string(stored.begin(), stored.end()), "10 A=1\r20 END\r");
    // Ctrl-P twice (no operate mode), then Ctrl-D, then the text.
    auto sent = Sent();
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(std::vector<uint8_t>(sent.begin(), sent.begin() + 3),
              (std::vector<uint8_t>{0x10, 0x10, 0x04}));
    // Below 100: the zero byte that ends the file was counted in the length.
    EXPECT_EQ(panelTexts_.size(), 17);
    EXPECT_EQ(panelTexts_.at(15), "Sending File... 94%");
    EXPECT_EQ(panelTexts_.last(), " ");
    EXPECT_TRUE(app_->TerminalText().endsWith("10 A=1\n20 END\n"));
    EXPECT_TRUE(app_->form->Memo1->isEnabled());
    EXPECT_EQ(app_->ui->beeps, 1);
}

TEST_F(Send, TabsBecomeThreeSpacesHighBytesPassAndAZeroEndsIt) {
    StartApp();
    SendFile(QByteArray("A\tB\xB0\xFF\0NOT SENT", 15));
    const auto stored = StoredAfterSend(*app_, 7);
    EXPECT_EQ(std::string(stored.begin(), stored.end()), "A   B\xB0\xFF");
    EXPECT_TRUE(app_->TerminalText().endsWith(QString::fromLatin1("A\tB\xB0\xFF")));
}

TEST_F(Send, FileWithoutAZeroEndsAtOneHundredPercent) {
    StartApp();
    SendFile("ABCD");
    StoredAfterSend(*app_, 4);
    EXPECT_EQ(panelTexts_, QStringList({"Sending File... 25%", "Sending File... 50%",
                                        "Sending File... 75%", "Sending File... 100%", " "}));
}

TEST_F(Send, EmptyFileStillAnnouncesItselfAndEnds) {
    StartApp();
    SendFile("");
    EXPECT_EQ(Sent(), (std::vector<uint8_t>{0x10, 0x10, 0x04}));
    EXPECT_EQ(panelTexts_, QStringList({" "}));
    EXPECT_EQ(app_->ui->beeps, 1);
}

TEST_F(Send, RoundTripGivesTheInstrumentTheSameProgram) {
    const std::string program = "10 REM \xDF SENSOR\r\n20 X=X+1\r\n30 GOTO 20\r\n";
    brenvix::SimConfig config;
    config.program = Bytes(program);
    StartApp(config);
    const QString path = app_->home.Path("round.pgm");
    app_->ui->files.push_back(path);
    app_->form->GetPgm1Click();
    ASSERT_TRUE(CaptureEnded());
    app_->ui->files.push_back(path);
    app_->form->SendPgm1Click();
    std::string expected = program;
    std::erase(expected, '\n');
    const auto stored = StoredAfterSend(*app_, expected.size());
    EXPECT_EQ(std::string(stored.begin(), stored.end()), expected);
}

TEST(SendSteps, PaceAndBytesPerFileByte) {
    EXPECT_EQ(SendStepFor(0x09).bytes, "   ");
    EXPECT_EQ(SendStepFor(0x09).waitAfterEachMs, 10);
    EXPECT_EQ(SendStepFor(0x0A).bytes, "");
    EXPECT_EQ(SendStepFor(0x0D).bytes, "\r");
    EXPECT_EQ(SendStepFor(0x0D).waitBeforeMs, 20);
    EXPECT_EQ(SendStepFor(0x0D).waitAfterEachMs, 100);
    EXPECT_EQ(SendStepFor(0xB0).bytes, "\xB0");
    EXPECT_EQ(SendStepFor(0xB0).waitAfterEachMs, 10);
}

TEST(SendSteps, ProgressTruncatesAndNeverOverflows) {
    EXPECT_EQ(SendProgress(1, 3), 33u);
    EXPECT_EQ(SendProgress(99, 100), 99u);
    EXPECT_EQ(SendProgress(100, 100), 100u);
    EXPECT_EQ(SendProgress(50'000'000, 100'000'000), 50u);  // past 32-bit count * 100
    EXPECT_EQ(SendProgress(0, 0), 0u);
}

TEST(SendSteps, EchoShowsOneBreakPerLineEnd) {
    SendEcho echo;
    std::string shown;
    for (char c : std::string("A\r\nB\rC\nD\n\r")) {
        shown += echo.Next(uint8_t(c));
    }
    EXPECT_EQ(shown, "A\r\nB\r\nC\r\nD\r\n\r\n");
}

}  // namespace
}  // namespace ventaro::testing

int main(int argc, char** argv) {
    return ventaro::testing::RunWindowedTests(argc, argv, false);
}
