// The records sender: XMODEM with the 8-bit checksum, and every fault it can be told to make.
#include <gtest/gtest.h>

#include <functional>

#include "sim/instrument.h"
#include "virtual_line.h"

namespace {

using brenvix::Fault;
using brenvix::Instrument;
using brenvix::SimConfig;
using simtest::Bytes;
using simtest::ExpectedBlock;
using simtest::VirtualLine;
using namespace std::chrono_literals;

constexpr uint8_t kNak = 0x15, kAck = 0x06, kEot = 0x04, kSoh = 0x01;

// Requests the records and walks the transfer to the moment block `ordinal` is first asked
// for: right after the first NAK, or after the ACK of the block before it.
void WalkTo(VirtualLine& line, int ordinal) {
    line.Put({0x02});
    line.Read(300ms);
    line.Put({kNak});
    for (int k = 1; k < ordinal; ++k) {
        const Bytes b = line.Read(1300ms, 132);
        ASSERT_EQ(b.size(), 132u) << "block " << k;
        line.Put({kAck});
    }
}

TEST(RecordsSender, RequestIsAnsweredWithNow) {
    Instrument inst(SimConfig{});
    VirtualLine line(inst);
    line.Put({0x02});
    EXPECT_NE(simtest::Text(line.Read(300ms)).find("NOW..."), std::string::npos);
    EXPECT_EQ(inst.state(), Instrument::State::RecordsArmed);
    EXPECT_TRUE(line.Read(2000ms).empty());  // nothing before the first NAK
}

TEST(RecordsSender, CleanDownloadDeliversEveryPayload) {
    SimConfig cfg;
    Instrument inst(cfg);
    VirtualLine line(inst);
    const simtest::Download d = simtest::ReceiveAll(line);
    EXPECT_EQ(d.payloads, brenvix::RecordPayloads(cfg.records));
    EXPECT_TRUE(d.sawEot);
    EXPECT_EQ(d.naks, 1);
    EXPECT_EQ(inst.state(), Instrument::State::Idle);

    const auto n = static_cast<int>(d.payloads.size());
    const auto& s = inst.Transfer();
    EXPECT_EQ(s.blocksSent, n);
    EXPECT_EQ(s.naksReceived, 1);
    EXPECT_EQ(s.acksReceived, n + 1);  // one per block and the one for the EOT
    EXPECT_TRUE(s.eotSent);
    EXPECT_EQ(s.wireChars, static_cast<uint64_t>(n) * 132 + 1 + 1 + static_cast<uint64_t>(n + 1));
    EXPECT_LE(s.firstNak, s.lastAck);
}

TEST(RecordsSender, BlocksAreFramedNumberedAndChecksummedAcrossTheWrap) {
    SimConfig cfg;
    cfg.records = brenvix::LargeDemoRecords();
    const auto payloads = brenvix::RecordPayloads(cfg.records);
    ASSERT_GT(payloads.size(), 256u);
    Instrument inst(cfg);
    VirtualLine line(inst);
    line.Put({0x02});
    line.Read(300ms);
    line.Put({kNak});
    for (size_t k = 1; k <= payloads.size(); ++k) {
        const Bytes b = line.Read(1300ms, SIZE_MAX);
        ASSERT_EQ(b, ExpectedBlock(static_cast<int>(k), payloads[k - 1])) << "block " << k;
        line.Put({kAck});
    }
    EXPECT_EQ(line.Read(1300ms), Bytes{kEot});
    line.Put({kNak});  // a lost EOT: sent again
    EXPECT_EQ(line.Read(1300ms), Bytes{kEot});
    line.Put({kAck});
    EXPECT_EQ(inst.state(), Instrument::State::Idle);
    EXPECT_TRUE(line.Read(1300ms).empty());
}

TEST(RecordsSender, NumbersGo255Then0Then1) {
    SimConfig cfg;
    cfg.records = brenvix::LargeDemoRecords();
    Instrument inst(cfg);
    VirtualLine line(inst);
    const simtest::Download d = simtest::ReceiveAll(line);
    ASSERT_GT(d.numbers.size(), 257u);
    EXPECT_EQ(d.numbers[0], 1);
    EXPECT_EQ(d.numbers[254], 255);
    EXPECT_EQ(d.numbers[255], 0);
    EXPECT_EQ(d.numbers[256], 1);
    EXPECT_EQ(d.payloads, brenvix::RecordPayloads(cfg.records));
}

TEST(RecordsSender, NakResendsTheSameBlock) {
    Instrument inst(SimConfig{});
    VirtualLine line(inst);
    WalkTo(line, 3);
    const Bytes first = line.Read();
    ASSERT_EQ(first.size(), 132u);
    EXPECT_EQ(first[1], 3);
    for (int i = 0; i < 3; ++i) {
        line.Put({kNak});
        EXPECT_EQ(line.Read(), first);
    }
    line.Put({kAck});
    EXPECT_EQ(line.Read()[1], 4);
}

TEST(RecordsSender, WhileRunningCtrlUIsANakNotGetPgm) {
    Instrument inst(SimConfig{});
    VirtualLine line(inst);
    WalkTo(line, 2);
    const Bytes b = line.Read();
    line.Put({0x15});
    EXPECT_EQ(line.Read(), b);
}

TEST(RecordsSender, BreakInCancelsAndDropsAScheduledBlock) {
    SimConfig cfg;
    cfg.faults[2] = Fault::Stall;
    Instrument inst(cfg);
    VirtualLine line(inst);
    WalkTo(line, 2);
    line.Put({0x03});  // before the stalled block has gone
    EXPECT_EQ(inst.state(), Instrument::State::Idle);
    EXPECT_TRUE(line.Read(3000ms).empty());
    line.Put({0x15});  // Get Pgm again
    EXPECT_EQ(line.Read(), inst.config().program);
}

TEST(RecordsSender, GiveUpSequenceEndsIt) {
    Instrument inst(SimConfig{});
    VirtualLine line(inst);
    WalkTo(line, 4);
    line.Put({0x03, kAck});  // what the receiver sends when it gives up
    EXPECT_EQ(inst.state(), Instrument::State::Idle);
    EXPECT_TRUE(line.Read(2000ms).empty());
}

TEST(RecordsSender, OtherCommandBeforeTheFirstNakDisarms) {
    Instrument inst(SimConfig{});
    VirtualLine line(inst);
    line.Put({0x02});
    line.Read(300ms);
    line.Put({0x10});
    EXPECT_NE(simtest::Text(line.Read(300ms)).find("CHECKSUM:"), std::string::npos);
    EXPECT_EQ(inst.state(), Instrument::State::Idle);
}

TEST(RecordsSender, SilentInstrumentIgnoresTheRequest) {
    SimConfig cfg;
    cfg.answerRecordsRequest = false;
    Instrument inst(cfg);
    VirtualLine line(inst);
    line.Put({0x02});
    EXPECT_TRUE(line.Read(2000ms).empty());
    EXPECT_EQ(inst.state(), Instrument::State::Idle);
}

TEST(RecordsSender, PlainXmodemSenderStartsOnTheFirstNak) {
    SimConfig cfg;
    cfg.plainXmodemSender = true;
    Instrument inst(cfg);
    VirtualLine line(inst);
    const simtest::Download d = simtest::ReceiveAll(line, /*sendRequest=*/false);
    EXPECT_EQ(d.payloads, brenvix::RecordPayloads(cfg.records));
}

TEST(RecordsSender, DefaultInstrumentAnswersANakInIdleWithTheProgram) {
    Instrument inst(SimConfig{});
    VirtualLine line(inst);
    line.Put({kNak});
    EXPECT_EQ(line.Read(), inst.config().program);
}

TEST(RecordsSender, DuplicateThenAckGivesTheNextBlock) {
    SimConfig cfg;
    cfg.faults[2] = Fault::Duplicate;
    Instrument inst(cfg);
    VirtualLine line(inst);
    WalkTo(line, 3);  // block 2 has just been ACKed
    EXPECT_EQ(line.Read()[1], 2);
    line.Put({kAck});  // a plain receiver acknowledges the repeat
    EXPECT_EQ(line.Read()[1], 3);
}

TEST(RecordsSender, EachFaultFiresOnlyOnce) {
    SimConfig cfg;
    cfg.faults[1] = Fault::BadChecksum;
    Instrument inst(cfg);
    VirtualLine line(inst);
    simtest::ReceiveAll(line);
    const simtest::Download again = simtest::ReceiveAll(line);
    EXPECT_EQ(again.naks, 1);  // the second download is clean
    EXPECT_EQ(again.payloads, brenvix::RecordPayloads(cfg.records));
}

// --- Faults, one row each: what the receiver sees where the fault fires, what a NAK (or, for
// Duplicate and LostAck, what follows) brings, and that a plain receiver still gets it all. ---

enum class Then { NakGivesBlock, NakGivesNext, NakGivesEot, ArrivesLate };

struct FaultCase {
    const char* name;
    Fault fault;
    int ordinal;
    bool large;        // LargeDemoRecords, for ordinals past the wrap
    bool afterItsAck;  // Duplicate and LostAck show only once the block has been ACKed
    std::function<bool(const Bytes& seen, const Bytes& good)> seen;  // the first 1300 ms
    Then then;
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name;
}

bool Same(const Bytes& s, const Bytes& g) {
    return s == g;
}

const FaultCase kFaults[] = {
    {"Drop", Fault::Drop, 3, false, false, [](const Bytes& s, const Bytes&) { return s.empty(); },
     Then::NakGivesBlock},
    {"BadChecksum", Fault::BadChecksum, 2, false, false,
     [](const Bytes& s, const Bytes& g) {
         return s.size() == 132 && std::equal(g.begin(), g.begin() + 131, s.begin()) &&
                s[131] != g[131];
     },
     Then::NakGivesBlock},
    {"BadComplement", Fault::BadComplement, 1, false, false,
     [](const Bytes& s, const Bytes& g) {
         return s.size() == 132 && s[0] == kSoh && s[1] == g[1] && s[2] != 255 - s[1] &&
                std::equal(g.begin() + 3, g.end(), s.begin() + 3);
     },
     Then::NakGivesBlock},
    {"WrongNumber", Fault::WrongNumber, 4, false, false,
     [](const Bytes& s, const Bytes& g) {
         return s.size() == 132 && s[1] == static_cast<uint8_t>(g[1] + 1) && s[2] == 255 - s[1] &&
                std::equal(g.begin() + 3, g.end(), s.begin() + 3);
     },
     Then::NakGivesBlock},
    {"Short", Fault::Short, 2, false, false,
     [](const Bytes& s, const Bytes& g) {
         return s.size() == 100 && std::equal(s.begin(), s.end(), g.begin());
     },
     Then::NakGivesBlock},
    {"Noise", Fault::Noise, 5, false, false,
     [](const Bytes& s, const Bytes& g) {
         if (s.size() <= g.size() || s.size() > g.size() + 8) {
             return false;
         }
         const size_t junk = s.size() - g.size();
         for (size_t i = 0; i < junk; ++i) {
             if (s[i] == kSoh || s[i] == kEot) {
                 return false;
             }
         }
         return std::equal(g.begin(), g.end(), s.begin() + static_cast<ptrdiff_t>(junk));
     },
     Then::NakGivesBlock},
    {"Stall", Fault::Stall, 2, false, false, [](const Bytes& s, const Bytes&) { return s.empty(); },
     Then::ArrivesLate},
    {"EarlyEot", Fault::EarlyEot, 7, false, false,
     [](const Bytes& s, const Bytes&) { return s == Bytes{kEot}; }, Then::NakGivesEot},
    {"EarlyEotFirst", Fault::EarlyEot, 1, false, false,
     [](const Bytes& s, const Bytes&) { return s == Bytes{kEot}; }, Then::NakGivesEot},
    {"Duplicate", Fault::Duplicate, 2, false, true, Same, Then::NakGivesNext},
    {"LostAck", Fault::LostAck, 3, false, true,
     [](const Bytes& s, const Bytes&) { return s.empty(); }, Then::NakGivesBlock},
    {"WrongNumberAtWrap", Fault::WrongNumber, 256, true, false,
     [](const Bytes& s, const Bytes& g) { return s.size() == 132 && g[1] == 0 && s[1] == 1; },
     Then::NakGivesBlock},
    {"DuplicateOf255", Fault::Duplicate, 255, true, true, Same, Then::NakGivesNext},
    {"LostAckAfterWrap", Fault::LostAck, 257, true, true,
     [](const Bytes& s, const Bytes&) { return s.empty(); }, Then::NakGivesBlock},
};

class Faults : public ::testing::TestWithParam<FaultCase> {
  protected:
    SimConfig Config() const {
        SimConfig cfg;
        if (GetParam().large) {
            cfg.records = brenvix::LargeDemoRecords();
        }
        cfg.faults[GetParam().ordinal] = GetParam().fault;
        return cfg;
    }
};

TEST_P(Faults, WhatTheReceiverSeesOnTheWire) {
    const FaultCase& fc = GetParam();
    const SimConfig cfg = Config();
    const auto payloads = brenvix::RecordPayloads(cfg.records);
    const Bytes good = ExpectedBlock(fc.ordinal, payloads[static_cast<size_t>(fc.ordinal - 1)]);
    const Bytes next =
        static_cast<size_t>(fc.ordinal) < payloads.size()
            ? ExpectedBlock(fc.ordinal + 1, payloads[static_cast<size_t>(fc.ordinal)])
            : Bytes{kEot};
    Instrument inst(cfg);
    VirtualLine line(inst);
    WalkTo(line, fc.ordinal);
    if (fc.afterItsAck) {
        ASSERT_EQ(line.Read(), good) << "the block itself goes out clean";
        line.Put({kAck});
    }
    const auto t0 = line.now();
    const Bytes seen = line.Read(1300ms);
    EXPECT_TRUE(fc.seen(seen, good)) << "saw " << seen.size() << " bytes";

    switch (fc.then) {
        case Then::NakGivesBlock:
            line.Put({kNak});
            EXPECT_EQ(line.Read(), good);
            line.Put({kAck});
            EXPECT_EQ(line.Read(), next);
            break;
        case Then::NakGivesNext:
            line.Put({kNak});
            EXPECT_EQ(line.Read(), next);
            break;
        case Then::NakGivesEot:
            line.Put({kNak});
            EXPECT_EQ(line.Read(), Bytes{kEot});
            line.Put({kAck});
            EXPECT_EQ(inst.state(), Instrument::State::Idle);
            EXPECT_TRUE(inst.Transfer().eotSent);
            break;
        case Then::ArrivesLate: {
            // It does come, later than a 1300 ms read waits and well before a second one ends.
            EXPECT_EQ(line.Read(700ms, 132), good);
            EXPECT_GT(line.now() - t0, 1300ms);
            EXPECT_LT(line.now() - t0, 2000ms);
            break;
        }
    }
}

TEST_P(Faults, APlainReceiverStillGetsEverything) {
    const FaultCase& fc = GetParam();
    const SimConfig cfg = Config();
    Instrument inst(cfg);
    VirtualLine line(inst);
    const simtest::Download d = simtest::ReceiveAll(line);
    auto expected = brenvix::RecordPayloads(cfg.records);
    if (fc.fault == Fault::EarlyEot) {
        expected.resize(static_cast<size_t>(fc.ordinal - 1));
    }
    EXPECT_EQ(d.payloads, expected);
    EXPECT_TRUE(d.sawEot);
    EXPECT_EQ(inst.state(), Instrument::State::Idle);
}

INSTANTIATE_TEST_SUITE_P(Table, Faults, ::testing::ValuesIn(kFaults),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LostAck, TheRepeatIsAcceptedAfterATimeoutLikeTheApplicationDoes) {
    // The application steps its expected number back after an empty read, so the repeat of
    // block N that follows is taken as new: the instrument must send block N again, not N+1.
    SimConfig cfg;
    cfg.faults[2] = Fault::LostAck;
    Instrument inst(cfg);
    VirtualLine line(inst);
    WalkTo(line, 2);
    const Bytes b2 = line.Read();
    line.Put({kAck});
    EXPECT_TRUE(line.Read(1300ms).empty());
    line.Advance(500ms);
    line.Put({kNak});
    EXPECT_EQ(line.Read(), b2);
    line.Put({kAck});
    EXPECT_EQ(line.Read()[1], 3);
    EXPECT_EQ(inst.Transfer().acksReceived, 3);
    EXPECT_EQ(inst.Transfer().naksReceived, 2);
}

}  // namespace
