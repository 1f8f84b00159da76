// The instrument's commands, fed as bytes on a virtual line.
#include <gtest/gtest.h>

#include <regex>

#include "sim/instrument.h"
#include "virtual_line.h"

namespace {

using brenvix::Instrument;
using brenvix::SimConfig;
using simtest::Bytes;
using simtest::Text;
using simtest::VirtualLine;
using namespace std::chrono_literals;

bool Contains(const Bytes& b, const std::string& marker) {
    return Text(b).find(marker) != std::string::npos;
}

unsigned Sum16(const Bytes& b) {
    unsigned s = 0;
    for (uint8_t c : b) {
        s += c;
    }
    return s % 65536;
}

TEST(Handshake, ChecksumOutsideOperateMode) {
    SimConfig cfg;
    cfg.program = {'1', '0', ' ', 'X', '\r', '\n'};
    Instrument inst(cfg);
    VirtualLine line(inst);
    line.Put({0x10});
    const std::string reply = Text(line.Read(300ms));
    std::smatch m;
    ASSERT_TRUE(std::regex_search(reply, m, std::regex("CHECKSUM: ([0-9A-F]{4})\r\n"))) << reply;
    EXPECT_EQ(std::stoul(m[1].str(), nullptr, 16), Sum16(cfg.program));
    EXPECT_EQ(reply.find("EXIT"), std::string::npos);
}

TEST(Handshake, OperateModeCtrlPSaysExit) {
    SimConfig cfg;
    cfg.operateMode = true;
    Instrument inst(cfg);
    VirtualLine line(inst);
    line.Put({0x10});
    const Bytes reply = line.Read(300ms);
    EXPECT_TRUE(Contains(reply, "EXIT")) << Text(reply);
    EXPECT_FALSE(Contains(reply, "CHECKSUM:"));
}

TEST(Handshake, ExitWithYesLeavesOperateMode) {
    SimConfig cfg;
    cfg.operateMode = true;
    Instrument inst(cfg);
    VirtualLine line(inst);
    line.Put({0x18});
    EXPECT_TRUE(Contains(line.Read(300ms), "(Y/N) ?"));
    line.Put({'Y'});
    EXPECT_TRUE(Contains(line.Read(300ms), "EXITED."));
    EXPECT_FALSE(inst.OperateMode());
    line.Put({0x10});
    EXPECT_TRUE(Contains(line.Read(300ms), "CHECKSUM:"));
}

TEST(Handshake, ExitWithNoStaysInOperateMode) {
    SimConfig cfg;
    cfg.operateMode = true;
    Instrument inst(cfg);
    VirtualLine line(inst);
    line.Put({0x18});
    line.Read(300ms);
    line.Put({'N'});
    EXPECT_FALSE(Contains(line.Read(300ms), "EXITED."));
    EXPECT_TRUE(inst.OperateMode());
    line.Put({0x10});
    EXPECT_TRUE(Contains(line.Read(300ms), "EXIT"));
}

TEST(Handshake, ExitOutsideOperateModeAsksNothing) {
    Instrument inst(SimConfig{});
    VirtualLine line(inst);
    line.Put({0x18});
    EXPECT_FALSE(Contains(line.Read(300ms), "(Y/N) ?"));
    line.Put({'Y'});
    EXPECT_FALSE(Contains(line.Read(300ms), "EXITED."));
}

TEST(Handshake, OperateCommandEntersOperateMode) {
    Instrument inst(SimConfig{});
    VirtualLine line(inst);
    line.Put({0x0F});
    EXPECT_TRUE(Contains(line.Read(300ms), "OPERATING USER PROGRAM\r\n"));
    EXPECT_TRUE(inst.OperateMode());
    line.Put({0x10});
    EXPECT_TRUE(Contains(line.Read(300ms), "EXIT"));
}

struct CommandCase {
    const char* name;
    uint8_t byte;
    const char* marker;
};

void PrintTo(const CommandCase& c, std::ostream* os) {
    *os << c.name;
}

class OneKeyCommands : public ::testing::TestWithParam<CommandCase> {};

TEST_P(OneKeyCommands, AnswerAfterTheReplyDelayAndNotBefore) {
    SimConfig cfg;
    cfg.replyDelayMs = 400;
    Instrument inst(cfg);
    VirtualLine line(inst);
    line.Put({GetParam().byte});
    EXPECT_TRUE(line.Read(399ms).empty());
    const Bytes reply = line.Read(1ms);
    EXPECT_TRUE(Contains(reply, GetParam().marker)) << Text(reply);
}

TEST_P(OneKeyCommands, AnswerAtOnceWithoutADelay) {
    Instrument inst(SimConfig{});
    VirtualLine line(inst);
    line.Put({GetParam().byte});
    EXPECT_TRUE(Contains(line.Read(0ms), GetParam().marker));
}

INSTANTIATE_TEST_SUITE_P(
    Table, OneKeyCommands,
    ::testing::Values(
        CommandCase{"Operate", 0x0F, "OPERATING USER PROGRAM\r\n"},
        CommandCase{"Checksum", 0x10, "CHECKSUM: "}, CommandCase{"SetTime", 0x14, "TIME"},
        CommandCase{"Firmware", 0x16, "FIRMWARE"}, CommandCase{"Erase", 0x05, "RECORDS ERASED\r\n"},
        CommandCase{"ProgramSend", 0x04, "NOW"}, CommandCase{"Records", 0x02, "NOW..."},
        CommandCase{"GetPgm", 0x15, "\r\n"}, CommandCase{"GetAsciiPgm", 0x01, "\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SetTime, DigitsAreEchoedAndCrConfirms) {
    Instrument inst(SimConfig{});
    VirtualLine line(inst);
    line.Put({0x14});
    line.Read(100ms);
    line.Put({'1', '2', ':', '3', '0', '\r'});
    const std::string r = Text(line.Read(100ms));
    EXPECT_NE(r.find("12:30"), std::string::npos) << r;
    EXPECT_NE(r.find("TIME SET"), std::string::npos) << r;
    EXPECT_EQ(inst.state(), Instrument::State::Idle);
}

TEST(Erase, EmptiesTheRecords) {
    Instrument inst(SimConfig{});
    VirtualLine line(inst);
    line.Put({0x05});
    line.Read(100ms);
    const simtest::Download d = simtest::ReceiveAll(line);
    ASSERT_EQ(d.payloads.size(), 6u);  // layout only, no value blocks
    EXPECT_EQ(d.payloads[0][64], 0);
    EXPECT_EQ(d.payloads[0][65], 0);
    EXPECT_TRUE(d.sawEot);
}

// --- Capture requests: the program goes out exactly as configured. ---

struct ProgramCase {
    const char* name;
    Bytes program;
};

Bytes Big(size_t n) {
    Bytes b;
    for (size_t i = 0; b.size() < n; ++i) {
        const std::string l = std::to_string(i * 10) + " PRINT \"LINE\"\r\n";
        b.insert(b.end(), l.begin(), l.end());
    }
    b.resize(n);
    return b;
}

void PrintTo(const ProgramCase& c, std::ostream* os) {
    *os << c.name;
}

class CaptureRequests : public ::testing::TestWithParam<ProgramCase> {};

TEST_P(CaptureRequests, CtrlUSendsProgramAsIs) {
    SimConfig cfg;
    cfg.program = GetParam().program;
    Instrument inst(cfg);
    VirtualLine line(inst);
    line.Put({0x15});
    EXPECT_EQ(line.Read(100ms), GetParam().program);
}

TEST_P(CaptureRequests, CtrlASendsAsciiProgramAsIs) {
    SimConfig cfg;
    cfg.asciiProgram = GetParam().program;
    Instrument inst(cfg);
    VirtualLine line(inst);
    line.Put({0x01});
    EXPECT_EQ(line.Read(100ms), GetParam().program);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CaptureRequests,
    ::testing::Values(ProgramCase{"CrLf", {'A', '\r', '\n', 'B', '\r', '\n'}},
                      ProgramCase{"LfCr", {'A', '\n', '\r', 'B', '\n', '\r'}},
                      ProgramCase{"CrOnly", {'A', '\r', 'B', '\r'}},
                      ProgramCase{"LfOnly", {'A', '\n', 'B', '\n'}},
                      ProgramCase{"Degree", {'2', '5', 0xDF, 'C', '\r', '\n', 0xB0}},
                      ProgramCase{"ZeroBytes", {'A', 0x00, 'B', '\r', '\n', 0x00}},
                      ProgramCase{"Large", Big(20500)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CaptureRequests, DefaultProgramsHaveCrLfLines) {
    Instrument inst(SimConfig{});
    for (uint8_t request : {uint8_t{0x15}, uint8_t{0x01}}) {
        VirtualLine line(inst);
        line.Put({request});
        const Bytes p = line.Read(100ms);
        ASSERT_GT(p.size(), 80u);  // an ASCII capture of 80 bytes or fewer waits 7.5 s to end
        EXPECT_EQ(p[p.size() - 2], '\r');
        EXPECT_EQ(p.back(), '\n');
        for (size_t i = 0; i < p.size(); ++i) {
            if (p[i] == '\r') {
                EXPECT_EQ(p[i + 1], '\n');
            }
            if (p[i] == '\n') {
                EXPECT_EQ(p[i - 1], '\r');
            }
            EXPECT_NE(p[i], 0);
        }
    }
}

TEST(CaptureRequests, DefaultAsciiListingHasTheDegreeByte) {
    Instrument inst(SimConfig{});
    VirtualLine line(inst);
    line.Put({0x01});
    const Bytes p = line.Read(100ms);
    EXPECT_NE(std::find(p.begin(), p.end(), 0xDF), p.end());
}

// --- Ctrl-D: receiving a program. ---

TEST(ProgramReceive, StoresEverythingUntilSilence) {
    Instrument inst(SimConfig{});
    VirtualLine line(inst);
    line.Put({0x04});
    EXPECT_TRUE(Contains(line.Read(300ms), "NOW"));
    line.Advance(600ms);
    const Bytes text = {'1', '0', ' ', 'R', 'E', 'M', ' ', ' ', ' ', 'X', '\r', 0xDF, '\r'};
    for (uint8_t b : text) {
        line.Put({b});
        line.Advance(1400ms);  // long pauses, but each under 1.5 s
    }
    EXPECT_EQ(inst.StoredProgram(), text);
    EXPECT_EQ(inst.state(), Instrument::State::ReceivingProgram);
    line.Advance(100ms);  // now 1.5 s of silence
    EXPECT_EQ(inst.state(), Instrument::State::Idle);
    line.Put({0x10});  // a command again, answered with the new program's checksum
    const std::string r = Text(line.Read(100ms));
    char expect[32];
    std::snprintf(expect, sizeof expect, "CHECKSUM: %04X\r\n", Sum16(text));
    EXPECT_EQ(r, expect);
}

TEST(ProgramReceive, ControlBytesInTheTextAreStoredNotObeyed) {
    Instrument inst(SimConfig{});
    VirtualLine line(inst);
    line.Put({0x04});
    line.Read(100ms);
    line.Put({0x10, 0x15, 0x02, 'A'});
    EXPECT_TRUE(line.Read(100ms).empty());
    EXPECT_EQ(inst.StoredProgram(), (Bytes{0x10, 0x15, 0x02, 'A'}));
}

TEST(ProgramReceive, BreakInEndsIt) {
    Instrument inst(SimConfig{});
    VirtualLine line(inst);
    line.Put({0x04});
    line.Read(100ms);
    line.Put({'A', 'B', 0x03, 0x10});
    EXPECT_EQ(inst.StoredProgram(), (Bytes{'A', 'B'}));
    EXPECT_TRUE(Contains(line.Read(100ms), "CHECKSUM:"));
}

TEST(ProgramReceive, SilenceCountsFromTheCtrlDWhenNothingComes) {
    Instrument inst(SimConfig{});
    VirtualLine line(inst);
    line.Put({0x04});
    line.Advance(1499ms);
    EXPECT_EQ(inst.state(), Instrument::State::ReceivingProgram);
    line.Advance(1ms);
    EXPECT_EQ(inst.state(), Instrument::State::Idle);
    EXPECT_TRUE(inst.StoredProgram().empty());
}

// --- Data of its own accord. ---

TEST(OwnAccord, BusyInstrumentSendsInEveryQuarterSecond) {
    SimConfig cfg;
    cfg.busy = true;
    Instrument inst(cfg);
    VirtualLine line(inst);
    for (int window = 0; window < 12; ++window) {
        EXPECT_FALSE(line.Read(250ms).empty()) << "window " << window;
    }
}

TEST(OwnAccord, BusyLinesFollowTheSeed) {
    auto lines = [](uint32_t seed) {
        SimConfig cfg;
        cfg.busy = true;
        cfg.seed = seed;
        Instrument inst(cfg);
        VirtualLine line(inst);
        return line.Read(1000ms);
    };
    const Bytes a = lines(7);
    EXPECT_EQ(a, lines(7));
    EXPECT_NE(a, lines(8));
    EXPECT_EQ(a.back(), '\n');
}

TEST(OwnAccord, OperateIntervalOnlyInOperateMode) {
    SimConfig cfg;
    cfg.operateIntervalMs = 200;
    Instrument inst(cfg);
    VirtualLine line(inst);
    EXPECT_TRUE(line.Read(1000ms).empty());
    line.Put({0x0F});
    line.Read(10ms);
    const std::string data = Text(line.Read(1000ms));
    EXPECT_EQ(std::count(data.begin(), data.end(), '\n'), 5) << data;
    line.Put({0x18, 'Y'});
    line.Read(10ms);
    EXPECT_TRUE(line.Read(1000ms).empty());
}

TEST(OwnAccord, QuietInstrumentSendsNothing) {
    Instrument inst(SimConfig{});
    VirtualLine line(inst);
    EXPECT_TRUE(line.Read(5000ms).empty());
    EXPECT_FALSE(inst.NextEvent().has_value());
}

TEST(Injected, BytesGoOutInOrder) {
    Instrument inst(SimConfig{});
    VirtualLine line(inst);
    inst.Inject(Bytes{'a', 'b'}, line.now());
    inst.Inject(Bytes{'c'}, line.now());
    EXPECT_EQ(line.Read(0ms), (Bytes{'a', 'b', 'c'}));
}

// --- One byte at a time gives what one block gives. ---

struct FeedCase {
    const char* name;
    SimConfig cfg;
    Bytes bytes;
};

SimConfig Operating() {
    SimConfig c;
    c.operateMode = true;
    return c;
}

void PrintTo(const FeedCase& c, std::ostream* os) {
    *os << c.name;
}

class FeedSplitting : public ::testing::TestWithParam<FeedCase> {};

TEST_P(FeedSplitting, OneByteAtATimeEqualsOneBlock) {
    Instrument whole(GetParam().cfg), split(GetParam().cfg);
    const auto t0 = simtest::TimePoint{} + 1h;
    whole.Start(t0);
    split.Start(t0);
    whole.Receive(GetParam().bytes, t0);
    for (uint8_t b : GetParam().bytes) {
        split.Receive(std::span(&b, 1), t0);
    }
    EXPECT_EQ(whole.TakeDue(t0 + 10s), split.TakeDue(t0 + 10s));
    EXPECT_EQ(whole.state(), split.state());
    EXPECT_EQ(whole.OperateMode(), split.OperateMode());
    EXPECT_EQ(whole.StoredProgram(), split.StoredProgram());
    EXPECT_EQ(whole.Transfer().blocksSent, split.Transfer().blocksSent);
    EXPECT_EQ(whole.Transfer().naksReceived, split.Transfer().naksReceived);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FeedSplitting,
    ::testing::Values(
        FeedCase{"Handshake", Operating(), {0x10, 0x18, 'Y', 0x10, 0x16}},
        FeedCase{"HandshakeNo", Operating(), {0x10, 0x18, 'N', 0x10}},
        FeedCase{"Commands", {}, {0x03, 0x0F, 0x14, '1', '2', '\r', 0x05, 0x15, 0x01}},
        FeedCase{"ProgramSend", {}, {0x04, '1', '0', ' ', 'A', '\r', '2', '0', '\r'}},
        FeedCase{"Records", {}, {0x02, 0x15, 0x06, 0x06, 0x15, 0x06, 0x03, 0x06, 0x15}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
