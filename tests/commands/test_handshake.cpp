// The handshake before a program transfer, row by row, through Get Pgm.
#include "tests/commands/commands_fixture.h"

namespace ventaro::testing {
namespace {

struct HandshakeCase {
    const char* name;
    bool busy;
    bool operate;
    int replyDelayMs;
    std::vector<std::string> ctrlPReplies;  // scripted answers to 0x10
    std::vector<plat::Answer> answers;
    QStringList messages;
    std::vector<uint8_t> sent;  // after the start-up byte
    bool goesOn;
};

const QString kNotResponding = "The Brenvix is not responding";
const QString kNotCorrect = "The Brenvix is not responding correctly.\r\nCheck Comm Properties.";
const QString kQuestion =
    "The Brenvix is in OPERATE MODE.\r\nDo you want to EXIT OPERATE MODE\r\nand get the user "
    "program?";
const QString kBusy = "You cannot Get Pgm while\r\nthe Brenvix is sending serial data.";

class Handshake : public Transfers, public ::testing::WithParamInterface<HandshakeCase> {};

TEST_P(Handshake, ShowsAndSendsExactly) {
    const HandshakeCase& c = GetParam();
    brenvix::SimConfig config;
    config.busy = c.busy;
    config.operateMode = c.operate;
    config.replyDelayMs = c.replyDelayMs;
    config.program = Bytes("10 END\r\n");
    if (!c.ctrlPReplies.empty()) {
        config.scriptedReplies[0x10] = c.ctrlPReplies;
    }
    StartApp(config);
    const QString path = app_->home.Path("program.pgm");
    WriteFile(path, "old content");
    app_->ui->files.push_back(path);
    app_->ui->answers.assign(c.answers.begin(), c.answers.end());
    app_->form->GetPgm1Click();
    if (c.goesOn) {
        ASSERT_TRUE(CaptureEnded());
        EXPECT_EQ(ReadFile(path), QByteArray("10 END\r\n\0", 9));
    } else {
        EXPECT_EQ(ReadFile(path), "old content");  // refused: the file is untouched
    }
    EXPECT_EQ(Messages(), c.messages);
    app_->sim.WaitForReceived(1 + c.sent.size(), 5s);
    EXPECT_EQ(Sent(), c.sent);
    EXPECT_EQ(app_->ui->cursor, plat::ScreenCursor::Default);
}

using plat::Answer;
INSTANTIATE_TEST_SUITE_P(
    Rows, Handshake,
    ::testing::Values(
        HandshakeCase{"InstrumentSending", true, false, 0, {}, {}, {kBusy}, {}, false},
        HandshakeCase{"NoReply", false, false, 0, {""}, {}, {kNotResponding}, {0x10}, false},
        HandshakeCase{"ReplyThenSilence",
                      false,
                      false,
                      0,
                      {"HELLO\r\n", ""},
                      {},
                      {},
                      {0x10, 0x10, 0x15},
                      true},
        HandshakeCase{"ReplyThenReply",
                      false,
                      false,
                      0,
                      {"HELLO\r\n", "HELLO\r\n"},
                      {},
                      {kNotCorrect},
                      {0x10, 0x10},
                      false},
        HandshakeCase{"ReplyThenChecksum",
                      false,
                      false,
                      0,
                      {"HELLO\r\n", "CHECKSUM: 0042\r\n"},
                      {},
                      {},
                      {0x10, 0x10, 0x15},
                      true},
        HandshakeCase{"OperateYes",
                      false,
                      true,
                      0,
                      {},
                      {Answer::Yes},
                      {kQuestion},
                      {0x10, 0x18, 'Y', 0x15},
                      true},
        HandshakeCase{
            "OperateNo", false, true, 0, {}, {Answer::No}, {kQuestion}, {0x10, 'N'}, false},
        HandshakeCase{"MarkerAfterAZero",
                      false,
                      false,
                      0,
                      {std::string("OK\0EXIT\r\n", 9), ""},
                      {},
                      {},
                      {0x10, 0x10, 0x15},
                      true},
        HandshakeCase{"LowerCaseMarker",
                      false,
                      false,
                      0,
                      {"press ^x to exit\r\n", ""},
                      {},
                      {},
                      {0x10, 0x10, 0x15},
                      true},
        HandshakeCase{"MarkerTooLate", false, true, 700, {}, {}, {kNotResponding}, {0x10}, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Transfers, CancelledDialogSendsNothingAndKeepsTheFolder) {
    StartApp();
    app_->form->GetPgm1Click();
    app_->form->SendPgm1Click();
    EXPECT_TRUE(Sent().empty());
    EXPECT_TRUE(Messages().isEmpty());
    ASSERT_EQ(app_->ui->fileRequests.size(), 2u);
    EXPECT_EQ(app_->ui->fileRequests[0].title, "Get User Program and Save To File...");
    EXPECT_EQ(app_->ui->fileRequests[1].title, "Open User Program File and Send...");
}

TEST_F(Transfers, OneKeyCommandsSendTheirByteAndShowTheAnswer) {
    StartApp();
    app_->form->GetUserPgmChksum1Click();
    ASSERT_TRUE(WaitUntil([&] { return app_->TerminalText().contains("CHECKSUM:"); }));
    app_->form->GetFirmwareVersion1Click();
    app_->form->OperateUserPgm1Click();
    app_->form->ExitUserPgm1Click();
    app_->form->SetTime1Click();
    app_->form->EraseRecords1Click();
    ASSERT_TRUE(app_->sim.WaitForReceived(7, 5s));
    EXPECT_EQ(Sent(), (std::vector<uint8_t>{0x10, 0x16, 0x0F, 0x18, 0x14, 0x05}));
    EXPECT_TRUE(WaitUntil([&] { return app_->TerminalText().contains("(Y/N) ?"); }));
}

}  // namespace
}  // namespace ventaro::testing

int main(int argc, char** argv) {
    return ventaro::testing::RunWindowedTests(argc, argv, false);
}
