// ventaro-cli's one-key commands, its exit codes for every failure, and the
// ports listing, run as a process against the simulator.
#include "tests/cli/cli_fixture.h"

#include "platform/serial_port.h"

#include <QFileInfo>

#include <cstdio>
#include <functional>

namespace ventaro::testing {
namespace {

struct OneKeyCase {
    const char* name;
    QStringList args;
    bool operateMode;
    std::vector<uint8_t> sent;  // after the break-in
    std::string out;            // "%04X" stands for the program's checksum
    bool operateAfter;
};

class OneKey : public CliTest, public ::testing::WithParamInterface<OneKeyCase> {};

TEST_P(OneKey, SendsItsByteAndPrintsTheAnswer) {
    const OneKeyCase& c = GetParam();
    brenvix::SimConfig config;
    config.operateMode = c.operateMode;
    StartSim(config);
    const CliResult r = Run(c.args);
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    char expected[128];
    std::snprintf(expected, sizeof expected, c.out.c_str(), unsigned(sim_->ProgramChecksum()));
    EXPECT_EQ(r.out.toStdString(), expected);
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
    EXPECT_TRUE(SentIs(c.sent));
    EXPECT_EQ(sim_->OperateMode(), c.operateAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, OneKey,
    ::testing::Values(
        OneKeyCase{"Version", {"version"}, false, {0x16}, "BRENVIX FIRMWARE V2.07 (SIM)\n", false},
        OneKeyCase{"Checksum", {"checksum"}, false, {0x10}, "CHECKSUM: %04X\n", false},
        OneKeyCase{"ChecksumInOperateMode", {"checksum"}, true, {0x10}, "PRESS ^X TO EXIT\n", true},
        OneKeyCase{"Operate", {"operate"}, false, {0x0F}, "OPERATING USER PROGRAM\n", true},
        OneKeyCase{"SetTime", {"set-time"}, false, {0x14}, "ENTER TIME HH:MM:SS \n", false},
        OneKeyCase{"EraseRecords", {"erase-records"}, false, {0x05}, "RECORDS ERASED\n", false},
        OneKeyCase{"ExitOperateWithYes",
                   {"--yes", "exit-operate"},
                   true,
                   {0x18, 'Y'},
                   "EXIT USER PROGRAM (Y/N) ? Y\nUSER PROGRAM EXITED.\n",
                   false},
        OneKeyCase{"ExitOperateWhenNotRunning",
                   {"exit-operate"},
                   false,
                   {0x18},
                   "NO USER PROGRAM RUNNING\n",
                   false},
        OneKeyCase{"QuietKeepsTheAnswer",
                   {"--quiet", "version"},
                   false,
                   {0x16},
                   "BRENVIX FIRMWARE V2.07 (SIM)\n",
                   false}),
    [](const auto& info) { return std::string(info.param.name); });

// Every failure, its exit code and what standard error says.
struct FailureCase {
    const char* name;
    std::function<void(brenvix::SimConfig&)> setUp;
    QStringList args;
    int exitCode;
    const char* errText;
    std::function<void(CliTest&, const CliHome&)> check;
};

class Failures : public CliTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(Failures, ExitWithTheirCodeAndSayWhy) {
    const FailureCase& c = GetParam();
    brenvix::SimConfig config;
    if (c.setUp) {
        c.setUp(config);
    }
    StartSim(config);
    WriteFile(home_.Path("keep.txt"), "precious");
    const CliResult r = Run(c.args);
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(Expand({c.errText}).front().toUtf8())) << r.err.toStdString();
    if (c.check) {
        c.check(*this, home_);
    }
}

const char* const kCannotOpenPort =
    "Unable to open COM port.\nThe port may be in use or does not exist on your machine.\n";

void NothingAfterTheBreakIn(CliTest& t, const CliHome&) {
    EXPECT_TRUE(t.SentIs({}));
}

void KeepFileKept(CliTest&, const CliHome& home) {
    EXPECT_EQ(ReadFile(home.Path("keep.txt")), "precious");
}

INSTANTIATE_TEST_SUITE_P(
    Codes, Failures,
    ::testing::Values(
        FailureCase{"BadUsage", {}, {"--baud", "19200", "version"}, 2, "Usage: ventaro-cli", {}},
        FailureCase{"PortNotThere",
                    {},
                    {"--port", "/dev/ventaro-no-such-port", "version"},
                    3,
                    "COM2 (/dev/ventaro-no-such-port): no such device\n",
                    {}},
        FailureCase{"PortIsNotASerialPort",
                    {},
                    {"--port", "{home}/keep.txt", "version"},
                    3,
                    "the device is not a serial port",
                    {}},
        FailureCase{"RecordsFileNotWritable",
                    {},
                    {"get-records", "{home}/no/such/folder/r.txt"},
                    4,
                    "Windows cannot open file.\n{home}/no/such/folder/r.txt: No such file or "
                    "directory\n",
                    NothingAfterTheBreakIn},
        FailureCase{"ProgramFileNotWritable",
                    {},
                    {"get-pgm", "{home}"},
                    4,
                    "Windows cannot open file.\n{home}: Is a directory\n",
                    {}},
        FailureCase{"SendFileMissing",
                    {},
                    {"send-pgm", "{home}/missing.pgm"},
                    4,
                    "Windows cannot open file.\n{home}/missing.pgm: No such file or directory\n",
                    {}},
        FailureCase{"InstrumentSilent",
                    [](brenvix::SimConfig& c) { c.answerRecordsRequest = false; },
                    {"get-records", "{home}/keep.txt"},
                    1,
                    "The Brenvix is not responding\n",
                    KeepFileKept},
        FailureCase{"InstrumentBusy",
                    [](brenvix::SimConfig& c) { c.busy = true; },
                    {"get-records", "{home}/keep.txt"},
                    1,
                    "You cannot Get Records while\nthe Brenvix is sending serial data.\n",
                    KeepFileKept},
        FailureCase{"SilentToAOneKeyCommand",
                    [](brenvix::SimConfig& c) { c.scriptedReplies[0x16] = {""}; },
                    {"version"},
                    1,
                    "The Brenvix is not responding\n",
                    {}},
        FailureCase{"OperateModeWithoutYes",
                    [](brenvix::SimConfig& c) { c.operateMode = true; },
                    {"get-pgm", "{home}/new.pgm"},
                    1,
                    "The Brenvix is in OPERATE MODE.\nDo you want to EXIT OPERATE MODE\nand get "
                    "the user program?\nAnswered No",
                    [](CliTest& t, const CliHome& home) {
                        EXPECT_TRUE(t.SentIs({0x10, 'N'}));
                        EXPECT_FALSE(QFileInfo::exists(home.Path("new.pgm")));
                    }},
        FailureCase{"ExitOperateWithoutYes",
                    [](brenvix::SimConfig& c) { c.operateMode = true; },
                    {"exit-operate"},
                    1,
                    "Answered N: the Brenvix stays in operate mode",
                    [](CliTest& t, const CliHome&) {
                        EXPECT_TRUE(t.SentIs({0x18, 'N'}));
                    }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CliTest, PortHeldByAnotherProgramExitsThreeWithTheReason) {
    StartSim();
    plat::PortError error = plat::PortError::None;
    const plat::PortHandle held = plat::OpenPort(device_.toStdString(), &error);
    ASSERT_NE(held, plat::kNoPort);
    const CliResult r = Run({"version"});
    plat::ClosePort(held);
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_TRUE(r.err.startsWith(kCannotOpenPort)) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("the port is in use by another program")) << r.err.toStdString();
}

TEST_F(CliTest, PortsListsThePseudoTerminalCom2PointsAt) {
    StartSim();
    const CliResult r = Run({"ports"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(("* COM2  " + device_ + "\n").toUtf8())) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("  COM1  ")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("Serial devices found on this machine:\n"));
    // Listing needs no port: the instrument heard nothing.
    EXPECT_TRUE(sim_->ReceivedBytes().empty());
}

TEST_F(CliTest, PortOptionSelectsANameOrADeviceForThisRunOnly) {
    StartSim();
    home_.Set("PortDevices/COM2", "/dev/ventaro-elsewhere");
    home_.Set("PortDevices/COM5", device_);
    EXPECT_TRUE(Run({"ports", "--port", "COM5"}).out.contains(("* COM5  " + device_).toUtf8()));
    EXPECT_EQ(Run({"--port", "COM5", "version"}).exitCode, 0);
    EXPECT_EQ(Run({"--port", "{dev}", "version"}).exitCode, 0);
    // Nothing was written back.
    EXPECT_EQ(Run({"version"}).exitCode, 3);
}

}  // namespace
}  // namespace ventaro::testing
