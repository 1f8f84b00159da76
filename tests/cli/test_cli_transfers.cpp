// The transfers through ventaro-cli: the files it writes equal the windowed
// program's, the program it sends is what the instrument stores, and an
// interrupt keeps what was received.
#include "tests/cli/cli_fixture.h"

#include "sim/records.h"

#include <QFileInfo>

#include <csignal>

namespace ventaro::testing {
namespace {

// A records block built here from the sim's payloads: SOH, number,
// complement, 128 bytes, the sum of the payload.
std::string Block(int number, const brenvix::Payload& payload) {
    std::string block{char(0x01), char(number), char(255 - number)};
    uint8_t sum = 0;
    for (uint8_t b : payload) {
        block += char(b);
        sum = uint8_t(sum + b);
    }
    return block + char(sum);
}

// Eight good blocks, then 132 bytes of junk to every request: the download
// gives up on the eleventh packet error, with two blocks of values stored.
brenvix::SimConfig GivesUpAfterEightBlocks() {
    brenvix::SimConfig config;
    const auto payloads = brenvix::RecordPayloads(config.records);
    const std::string junk(132, 'J');
    config.scriptedReplies[0x02] = {"SENDING RECORDS NOW...\r\n"};
    config.scriptedReplies[0x15] = {Block(1, payloads[0])};
    config.scriptedReplies[0x15].insert(config.scriptedReplies[0x15].end(), 10, junk);
    for (int n = 2; n <= 8; ++n) {
        config.scriptedReplies[0x06].push_back(Block(n, payloads[size_t(n - 1)]));
    }
    config.scriptedReplies[0x06].push_back(junk);
    return config;
}

struct RecordsCase {
    const char* name;
    brenvix::SimConfig config;
    int exitCode;
    const char* errText;  // a part of standard error
};

class Records : public CliTest, public ::testing::WithParamInterface<RecordsCase> {};

TEST_P(Records, FileEqualsTheWindowedProgramsAndTheExitCodeSaysHowItEnded) {
    const RecordsCase& c = GetParam();
    const QByteArray windowed = WindowedFile(c.config, WindowedCommand::GetRecords);
    StartSim(c.config);
    const CliResult r = Run({"get-records", "{home}/records.txt"});
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(c.errText)) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());
    const QByteArray file = ReadFile(home_.Path("records.txt"));
    EXPECT_GT(file.size(), 2);
    EXPECT_TRUE(file == windowed) << file.size() << " bytes, the window wrote " << windowed.size();
}

TEST_F(CliTest, CsvBesideTheRecordsFileHoldsTheSameRecords) {
    StartSim({});
    const CliResult r = Run({"--csv", "{home}/records.csv", "get-records", "{home}/records.txt"});
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QList<QByteArray> rows = ReadFile(home_.Path("records.csv")).split('\n');
    // A header, 300 records, and the empty piece after the last CR LF.
    ASSERT_EQ(rows.size(), 302);
    EXPECT_EQ(rows[0], "HOUR HH,TEMP DEG C,RH PCT,WIND M/S,DIR DEG\r");
    // The first record line of the text file, its columns as cells.
    const QList<QByteArray> lines = ReadFile(home_.Path("records.txt")).split('\n');
    ASSERT_GT(lines.size(), 8);
    EXPECT_EQ(rows[1], lines[8].simplified().replace(' ', ',') + "\r");
}

brenvix::SimConfig WithLargeRecords() {
    brenvix::SimConfig config;
    config.records = brenvix::LargeDemoRecords();
    return config;
}

brenvix::SimConfig WithFault(int ordinal, brenvix::Fault fault) {
    brenvix::SimConfig config;
    config.faults[ordinal] = fault;
    return config;
}

INSTANTIATE_TEST_SUITE_P(
    Downloads, Records,
    ::testing::Values(RecordsCase{"Clean",
                                  {},
                                  0,
                                  "BLOCK 53\nRecord: 300 of 300  Errors: 0\n"
                                  "RECORDS RECEIVED: 300 of 300\n"},
                      RecordsCase{"BlockNumbersWrap", WithLargeRecords(), 0,
                                  "RECORDS RECEIVED: 1200 of 1200\n"},
                      RecordsCase{"RecoversFromADroppedBlock", WithFault(9, brenvix::Fault::Drop),
                                  0, "Not enough characters... 8 8 0\nClear buffer and retry.\n"},
                      RecordsCase{"EarlyEotSaysSo", WithFault(10, brenvix::Fault::EarlyEot), 0,
                                  "Only 20 of 300 records were received"},
                      RecordsCase{"GivesUp", GivesUpAfterEightBlocks(), 5, "gave up"}),
    [](const auto& info) { return std::string(info.param.name); });

struct CaptureCase {
    const char* name;
    bool ascii;
    bool operateMode;
};

class Capture : public CliTest, public ::testing::WithParamInterface<CaptureCase> {};

TEST_P(Capture, FileEqualsTheWindowedProgramsAndTheCaptureShowsOnStandardError) {
    const CaptureCase& c = GetParam();
    brenvix::SimConfig config;
    config.program = Bytes("10 A\r\n20 B\n\r30 C\rT\xDF\xB0\n");
    config.asciiProgram = Bytes(std::string(90, 'L') + "\r\nT\xDF\xB0\r\n");
    config.operateMode = c.operateMode;
    const auto command = c.ascii ? WindowedCommand::GetAsciiPgm : WindowedCommand::GetPgm;
    const QByteArray windowed = WindowedFile(config, command, true);
    StartSim(config);
    QStringList args{c.ascii ? "get-ascii-pgm" : "get-pgm", "{home}/p.pgm"};
    if (c.operateMode) {
        args.prepend("--yes");
    }
    const CliResult r = Run(args);
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(ReadFile(home_.Path("p.pgm")), windowed);
    EXPECT_TRUE(windowed.endsWith('\0'));
    EXPECT_TRUE(r.err.contains(c.ascii ? "T\xC2\xB0\xC2\xB0\n" : "30 C\nT\xC3\x9F\xC2\xB0\n"))
        << r.err.toStdString();
    EXPECT_EQ(sim_->OperateMode(), false);
}

INSTANTIATE_TEST_SUITE_P(Programs, Capture,
                         ::testing::Values(CaptureCase{"GetPgm", false, false},
                                           CaptureCase{"GetAsciiPgm", true, false},
                                           CaptureCase{"LeavesOperateModeWithYes", false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CliTest, SendPgmStoresTheFileAsTheWindowedProgramSendsIt) {
    StartSim();
    const QString path = home_.Path("send.pgm");
    WriteFile(path, QByteArray("10 A\tB\r\n20 C\xB0\n", 15) + QByteArray(1, '\0') + "NOT SENT");
    const CliResult r = Run({"send-pgm", path});
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    // LF dropped, TAB as three spaces, CR kept; nothing after the zero byte.
    const std::vector<uint8_t> stored = Bytes("10 A   B\r20 C\xB0");
    EXPECT_TRUE(sim_->WaitFor([&] { return sim_->StoredProgram() == stored; }, 10s))
        << std::string(sim_->StoredProgram().begin(), sim_->StoredProgram().end());
    const auto sent = Sent();
    EXPECT_EQ(std::vector<uint8_t>(sent.begin(), sent.begin() + 4),
              (std::vector<uint8_t>{0x10, 0x10, 0x04, '1'}));
    // The echo shows the file as it is; the progress waits for the end of its line.
    EXPECT_TRUE(r.err.contains("10 A\tB\nSending File... 25%\n")) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("%\n20 C\xC2\xB0\nSending File... 54%\n")) << r.err.toStdString();
}

TEST_F(CliTest, InterruptMidDownloadKeepsTheStoredPartAndFreesTheInstrument) {
    brenvix::SimConfig config;
    const QByteArray whole = WindowedFile(config, WindowedCommand::GetRecords);
    config.baud = 9600;  // paced, so the download is still running when interrupted
    StartSim(config);
    const QString path = home_.Path("records.txt");
    CliProcess cli(home_, Expand({"--baud", "9600", "get-records", path}));
    ASSERT_TRUE(sim_->WaitFor([&] { return QFileInfo(path).size() > 4000; }, 60s));
    cli.Signal(SIGINT);
    const CliResult r = cli.Finish();
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 130) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("Interrupted; ")) << r.err.toStdString();
    const QByteArray file = ReadFile(path);
    EXPECT_GT(file.size(), 4000);
    EXPECT_LT(file.size(), whole.size());
    EXPECT_TRUE(whole.startsWith(file));
    // The abandoned transfer does not keep the instrument from answering.
    const CliResult next = Run({"version"});
    EXPECT_EQ(next.exitCode, 0) << next.err.toStdString();
    EXPECT_EQ(next.out, "BRENVIX FIRMWARE V2.07 (SIM)\n");
}

TEST_F(CliTest, TerminateMidCaptureWritesWhatWasReceived) {
    brenvix::SimConfig config;
    // Under 81 characters: the capture then waits 7.5 s for more.
    config.asciiProgram = Bytes("SHORT\r\nLISTING\r\n");
    StartSim(config);
    const QString path = home_.Path("short.asc");
    CliProcess cli(home_, Expand({"get-ascii-pgm", path}));
    ASSERT_TRUE(sim_->WaitFor([&] { return cli.ErrSoFar().contains("Bytes Rcv'd: 16"); }, 20s))
        << cli.ErrSoFar().toStdString();
    cli.Signal(SIGTERM);
    const CliResult r = cli.Finish();
    EXPECT_EQ(r.exitCode, 130) << r.err.toStdString();
    EXPECT_EQ(ReadFile(path), QByteArray("SHORT\r\nLISTING\r\n", 16) + QByteArray(1, '\0'));
}

TEST_F(CliTest, InterruptMidSendStopsSendingAndExits) {
    StartSim();
    std::string program;
    while (program.size() < 400) {
        program += "10 PRINT X\r\n";
    }
    const QString path = home_.Path("long.pgm");
    WriteFile(path, QByteArray::fromStdString(program));
    CliProcess cli(home_, Expand({"send-pgm", path}));
    ASSERT_TRUE(sim_->WaitFor([&] { return sim_->StoredProgram().size() >= 20; }, 20s));
    cli.Signal(SIGINT);
    const CliResult r = cli.Finish(20s);
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 130) << r.err.toStdString();
    // What went out is the start of the text (its LFs are never sent), and stops well short.
    std::string text;
    for (char ch : program) {
        if (ch != '\n') {
            text += ch;
        }
    }
    const auto stored = sim_->StoredProgram();
    EXPECT_GE(stored.size(), 20u);
    EXPECT_LT(stored.size(), text.size() / 2);
    EXPECT_TRUE(std::equal(stored.begin(), stored.end(), text.begin()));
    EXPECT_TRUE(r.err.contains("Interrupted; the rest of")) << r.err.toStdString();
}

}  // namespace
}  // namespace ventaro::testing
