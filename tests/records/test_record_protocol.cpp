// The block receiver, driven read by read.
#include "device/record_protocol.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "tests/records/blocks.h"

namespace ventaro {
namespace {

using records_test::Block;
using records_test::Bytes;
using records_test::Payload;
using records_test::Tagged;

const Bytes kEmpty;
const Bytes kEotRead{0x04};
const Bytes kNoise{'A', 'B', 'C'};

Bytes BadSum(uint8_t number) {
    Bytes b = Tagged(number);
    b.back() = static_cast<uint8_t>(b.back() + 1);
    return b;
}

Bytes Cut(Bytes b, size_t n) {
    b.resize(n);
    return b;
}

std::vector<Bytes> Times(int n, const Bytes& read) {
    return std::vector<Bytes>(size_t(n), read);
}

std::vector<Bytes> Join(std::initializer_list<std::vector<Bytes>> parts) {
    std::vector<Bytes> all;
    for (const auto& p : parts) {
        all.insert(all.end(), p.begin(), p.end());
    }
    return all;
}

std::string Times(int n, const std::string& text) {
    std::string all;
    for (int i = 0; i < n; ++i) {
        all += text;
    }
    return all;
}

std::string Render(const Step& step, const Action& a) {
    char hex[8];
    switch (a.kind) {
        case ActionKind::Beep:
            return "beep";
        case ActionKind::Show:
            return "show:" + a.text;
        case ActionKind::Store:
            return "store:" + std::to_string(step.ordinal);
        case ActionKind::ClearErrors:
            return "clear";
        case ActionKind::Wait:
            return "wait:" + std::to_string(a.value);
        case ActionKind::Send:
            std::snprintf(hex, sizeof hex, "%02X", a.value);
            return std::string("send:") + hex;
        case ActionKind::Yield:
            return "yield";
        case ActionKind::ShowStatus:
            return "status";
    }
    return "?";
}

std::vector<std::string> Render(const Step& step) {
    std::vector<std::string> out;
    for (const Action& a : step.actions) {
        out.push_back(Render(step, a));
    }
    return out;
}

// What a whole sequence of reads did, as the loop would have carried it out.
struct Outcome {
    std::string shown;
    Bytes sent;
    std::vector<std::pair<uint32_t, uint8_t>> stored;  // ordinal, first payload byte
    StepEnd end = StepEnd::Continue;
};

Outcome Drive(RecordReceiver& rx, const std::vector<Bytes>& reads) {
    Outcome out;
    for (const Bytes& read : reads) {
        const Step step = rx.OnRead(read);
        for (const Action& a : step.actions) {
            if (a.kind == ActionKind::Show) {
                out.shown += a.text;
            } else if (a.kind == ActionKind::Send) {
                out.sent.push_back(static_cast<uint8_t>(a.value));
            } else if (a.kind == ActionKind::Store) {
                out.stored.emplace_back(step.ordinal, step.payload[0]);
            }
        }
        out.end = step.end;
    }
    return out;
}

TEST(JudgeBlock, TakesTheChecksInOrder) {
    struct Case {
        const char* name;
        Bytes read;
        uint8_t last;
        bool any;
        BlockVerdict verdict;
    };
    Bytes badBoth = BadSum(9);
    badBoth[2] = 0;
    Bytes longBlock = Tagged(1);
    longBlock.push_back(0);
    Bytes longBadSum = BadSum(1);
    longBadSum.push_back(0);
    const Case cases[] = {
        {"Expected", Tagged(1), 0, false, BlockVerdict::Accept},
        {"NumberWrapsAfter255", Tagged(0), 255, true, BlockVerdict::Accept},
        {"Empty", kEmpty, 0, false, BlockVerdict::Empty},
        {"EotAlone", kEotRead, 0, false, BlockVerdict::Eot},
        {"EotWhateverFollows", Bytes{0x04, 0x01, 0xFE}, 0, false, BlockVerdict::Eot},
        {"OtherFirstByte", Bytes{0x02, 0x01, 0xFE}, 0, false, BlockVerdict::NotSoh},
        {"SohAlone", Bytes{0x01}, 0, false, BlockVerdict::Short},
        {"SohAndNumber", Bytes{0x01, 0x01}, 0, false, BlockVerdict::Short},
        {"ComplementFirst", badBoth, 0, false, BlockVerdict::BadComplement},
        {"NumberBeforeChecksum", BadSum(3), 1, true, BlockVerdict::Mismatch},
        {"NumberBeforeLength", Cut(Tagged(3), 40), 1, true, BlockVerdict::Mismatch},
        {"ChecksumBeforeLength", longBadSum, 0, false, BlockVerdict::BadChecksum},
        {"TooLong", longBlock, 0, false, BlockVerdict::Short},
        {"ShortWithTheRightNumber", Cut(Tagged(1), 131), 0, false, BlockVerdict::Short},
        {"RepeatOfTheLastAccepted", Tagged(5), 5, true, BlockVerdict::Repeat},
        {"SameNumberBeforeAnyAccepted", Tagged(0), 0, false, BlockVerdict::Mismatch},
        {"DamagedRepeat", BadSum(5), 5, true, BlockVerdict::Mismatch},
        {"ShortRepeat", Cut(Tagged(5), 131), 5, true, BlockVerdict::Mismatch},
        {"TwoBehind", Tagged(4), 5, true, BlockVerdict::Mismatch},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(JudgeBlock(c.read, c.last, c.any), c.verdict) << c.name;
    }
}

// Every action of one read, in the order the loop must carry them out.
struct TranscriptCase {
    const char* name;
    std::vector<Bytes> before;
    Bytes read;
    std::vector<std::string> actions;
    StepEnd end;
};

void PrintTo(const TranscriptCase& c, std::ostream* os) {
    *os << c.name;
}

class Transcript : public ::testing::TestWithParam<TranscriptCase> {};

TEST_P(Transcript, ListsTheActionsInOrder) {
    const TranscriptCase& c = GetParam();
    RecordReceiver rx;
    Drive(rx, c.before);
    const Step step = rx.OnRead(c.read);
    EXPECT_EQ(Render(step), c.actions);
    EXPECT_EQ(step.end, c.end);
}

const std::string kNotEnough = "show:Not enough characters... 0 0 0\r\n";
const std::string kClearBuffer = "show:Clear buffer and retry.\r\n";

INSTANTIATE_TEST_SUITE_P(
    Reads, Transcript,
    ::testing::Values(
        TranscriptCase{
            "EmptyRead",
            {},
            kEmpty,
            {"beep", kNotEnough, kClearBuffer, "clear", "clear", "wait:500", "send:15", "status"},
            StepEnd::Continue},
        TranscriptCase{"TenthEmptyRead",
                       Times(9, kEmpty),
                       kEmpty,
                       {"beep", kNotEnough, kClearBuffer, "clear", "send:03"},
                       StepEnd::GiveUp},
        TranscriptCase{"Mismatch",
                       {Tagged(1)},
                       Tagged(3),
                       {"show:Packet Error... Block count mismatch 1 3 132\r\n", "beep", "wait:250",
                        "send:15", "status"},
                       StepEnd::Continue},
        TranscriptCase{"SilentPacketError",
                       {},
                       BadSum(1),
                       {"beep", "wait:250", "send:15", "status"},
                       StepEnd::Continue},
        TranscriptCase{
            "EleventhPacketError", Times(10, kNoise), kNoise, {"beep", "send:03"}, StepEnd::GiveUp},
        TranscriptCase{"Accept",
                       {Tagged(1)},
                       Tagged(2),
                       {"store:2", "show:BLOCK 2\r\n", "yield", "send:06", "yield", "status"},
                       StepEnd::Continue},
        TranscriptCase{"Repeat", {Tagged(1)}, Tagged(1), {"send:06", "status"}, StepEnd::Continue},
        TranscriptCase{"Eot", {}, kEotRead, {"status"}, StepEnd::Eot}),
    [](const auto& info) { return std::string(info.param.name); });

// A whole sequence of reads: what was shown, sent and stored, and how it ended.
struct SequenceCase {
    const char* name;
    std::vector<Bytes> reads;
    std::string shown;
    Bytes sent;
    std::vector<std::pair<uint32_t, uint8_t>> stored;
    StepEnd end;
    uint32_t errors;
};

void PrintTo(const SequenceCase& c, std::ostream* os) {
    *os << c.name;
}

class Sequence : public ::testing::TestWithParam<SequenceCase> {};

TEST_P(Sequence, EndsAsExpected) {
    const SequenceCase& c = GetParam();
    RecordReceiver rx;
    const Outcome out = Drive(rx, c.reads);
    EXPECT_EQ(out.shown, c.shown);
    EXPECT_EQ(out.sent, c.sent);
    EXPECT_EQ(out.stored, c.stored);
    EXPECT_EQ(out.end, c.end);
    EXPECT_EQ(rx.ErrorCount(), c.errors);
}

const std::string kEmptyLines00 = "Not enough characters... 0 0 0\r\nClear buffer and retry.\r\n";
const std::string kEmptyLines11 = "Not enough characters... 1 1 0\r\nClear buffer and retry.\r\n";

std::vector<SequenceCase> SequenceCases() {
    Bytes badComplement = Tagged(1);
    badComplement[2] = 0x00;
    const Bytes nak9(9, 0x15);
    const Bytes nak10(10, 0x15);
    Bytes nak9Etx = nak9;
    nak9Etx.push_back(0x03);
    Bytes nak10Etx = nak10;
    nak10Etx.push_back(0x03);
    Bytes nakAckNak = nak10;
    nakAckNak.push_back(0x06);
    nakAckNak.insert(nakAckNak.end(), nak10.begin(), nak10.end());
    return {
        {"Clean",
         {Tagged(1), Tagged(2), Tagged(3), kEotRead},
         "BLOCK 1\r\nBLOCK 2\r\nBLOCK 3\r\n",
         {0x06, 0x06, 0x06},
         {{1, 1}, {2, 2}, {3, 3}},
         StepEnd::Eot,
         0},
        {"EotFirst", {kEotRead}, "", {}, {}, StepEnd::Eot, 0},
        {"EotWithBytesAfterIt", {Bytes{0x04, 0x01, 0xFE, 0x00}}, "", {}, {}, StepEnd::Eot, 0},
        {"FirstBlockLate",
         {kEmpty, Tagged(1), kEotRead},
         kEmptyLines00 + "BLOCK 1\r\n",
         {0x15, 0x06},
         {{1, 1}},
         StepEnd::Eot,
         0},
        {"WrongNumber",
         {Tagged(1), Tagged(3)},
         "BLOCK 1\r\nPacket Error... Block count mismatch 1 3 132\r\n",
         {0x06, 0x15},
         {{1, 1}},
         StepEnd::Continue,
         1},
        {"ZeroBeforeAnyBlockIsNoRepeat",
         {Tagged(0)},
         "Packet Error... Block count mismatch 0 0 132\r\n",
         {0x15},
         {},
         StepEnd::Continue,
         1},
        {"RepeatAfterLostAckIsAcknowledgedNotStored",
         {Tagged(1), kEmpty, Tagged(1, 0x77), Tagged(2), kEotRead},
         "BLOCK 1\r\n" + kEmptyLines11 + "BLOCK 2\r\n",
         {0x06, 0x15, 0x06, 0x06},
         {{1, 1}, {2, 2}},
         StepEnd::Eot,
         0},
        {"RepeatKeepsTheErrorCount",
         {Tagged(1), kEmpty, kEmpty, Tagged(1)},
         "BLOCK 1\r\n" + kEmptyLines11 + kEmptyLines11,
         {0x06, 0x15, 0x15, 0x06},
         {{1, 1}},
         StepEnd::Continue,
         2},
        {"DamagedRepeatIsAMismatch",
         {Tagged(1), BadSum(1)},
         "BLOCK 1\r\nPacket Error... Block count mismatch 1 1 132\r\n",
         {0x06, 0x15},
         {{1, 1}},
         StepEnd::Continue,
         1},
        {"ShortBlockIsSilent", {Cut(Tagged(1), 100)}, "", {0x15}, {}, StepEnd::Continue, 1},
        {"ShortBlockWithWrongNumberSaysSo",
         {Tagged(1), Cut(Tagged(5), 50)},
         "BLOCK 1\r\nPacket Error... Block count mismatch 1 5 50\r\n",
         {0x06, 0x15},
         {{1, 1}},
         StepEnd::Continue,
         1},
        {"BadComplementIsSilent", {badComplement}, "", {0x15}, {}, StepEnd::Continue, 1},
        {"BadChecksumIsSilent", {BadSum(1)}, "", {0x15}, {}, StepEnd::Continue, 1},
        {"OtherFirstByteIsAnError", {kNoise}, "", {0x15}, {}, StepEnd::Continue, 1},
        {"LostBlockRecovered",
         {Tagged(1), kEmpty, Tagged(2), kEotRead},
         "BLOCK 1\r\n" + kEmptyLines11 + "BLOCK 2\r\n",
         {0x06, 0x15, 0x06},
         {{1, 1}, {2, 2}},
         StepEnd::Eot,
         0},
        {"DamagedBlockRecovered",
         {Tagged(1), BadSum(2), Tagged(2), kEotRead},
         "BLOCK 1\r\nBLOCK 2\r\n",
         {0x06, 0x15, 0x06},
         {{1, 1}, {2, 2}},
         StepEnd::Eot,
         0},
        {"NineEmptyReadsRetry",
         Times(9, kEmpty),
         Times(9, kEmptyLines00),
         nak9,
         {},
         StepEnd::Continue,
         9},
        {"TenEmptyReadsGiveUp",
         Times(10, kEmpty),
         Times(10, kEmptyLines00),
         nak9Etx,
         {},
         StepEnd::GiveUp,
         10},
        {"TenPacketErrorsRetry", Times(10, kNoise), "", nak10, {}, StepEnd::Continue, 10},
        {"ElevenPacketErrorsGiveUp", Times(11, kNoise), "", nak10Etx, {}, StepEnd::GiveUp, 11},
        {"NinePacketErrorsThenAnEmptyReadGiveUp",
         Join({Times(9, kNoise), {kEmpty}}),
         kEmptyLines00,
         nak9Etx,
         {},
         StepEnd::GiveUp,
         10},
        {"AcceptedBlockResetsTheCount",
         Join({Times(10, kNoise), {Tagged(1)}, Times(10, kNoise)}),
         "BLOCK 1\r\n",
         nakAckNak,
         {{1, 1}},
         StepEnd::Continue,
         10},
        {"ReadsAfterEotChangeNothing", {kEotRead, Tagged(1), kEmpty}, "", {}, {}, StepEnd::Eot, 0},
        {"ReadsAfterGivingUpChangeNothing",
         Join({Times(10, kEmpty), {Tagged(1)}}),
         Times(10, kEmptyLines00),
         nak9Etx,
         {},
         StepEnd::GiveUp,
         10},
    };
}

INSTANTIATE_TEST_SUITE_P(Reads, Sequence, ::testing::ValuesIn(SequenceCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RecordReceiver, BlockNumbersWrapWhileTheCountGoesOn) {
    RecordReceiver rx;
    std::vector<Bytes> reads;
    for (int i = 1; i <= 258; ++i) {
        reads.push_back(Tagged(static_cast<uint8_t>(i)));
    }
    const Outcome out = Drive(rx, reads);
    EXPECT_EQ(out.sent, Bytes(258, 0x06));
    EXPECT_NE(out.shown.find("BLOCK 255\r\nBLOCK 256\r\nBLOCK 257\r\nBLOCK 258\r\n"),
              std::string::npos);
    EXPECT_EQ(rx.BlockCount(), 258u);
    EXPECT_EQ(rx.LastBlock(), 2);
    EXPECT_EQ(rx.PreviousBlock(), 1);
    EXPECT_EQ(out.stored[255], std::make_pair(256u, uint8_t{0}));
}

TEST(RecordReceiver, HandsOverTheBlocksPayload) {
    Payload p;
    for (size_t i = 0; i < p.size(); ++i) {
        p[i] = static_cast<uint8_t>(i * 7 + 3);
    }
    RecordReceiver rx;
    const Step step = rx.OnRead(Block(1, p));
    ASSERT_EQ(step.verdict, BlockVerdict::Accept);
    EXPECT_EQ(step.ordinal, 1u);
    EXPECT_EQ(step.payload, p);
}

// A block that arrives in two reads is two failed reads; neither piece may be read past its end
// (a sanitizer build catches that) and the block is still taken when it comes whole.
TEST(RecordReceiver, BlockSplitAcrossReadsIsNeverAccepted) {
    Payload p;
    for (size_t i = 0; i < p.size(); ++i) {
        p[i] = static_cast<uint8_t>(i * 13 + 5);
    }
    const Bytes whole = Block(1, p);
    for (size_t k = 1; k < whole.size(); ++k) {
        const Bytes head(whole.begin(), whole.begin() + long(k));
        const Bytes tail(whole.begin() + long(k), whole.end());
        RecordReceiver rx;
        const Outcome pieces = Drive(rx, {head, tail});
        EXPECT_TRUE(pieces.stored.empty()) << k;
        EXPECT_EQ(JudgeBlock(head, 0, false), BlockVerdict::Short) << k;
        if (rx.Receiving()) {
            EXPECT_EQ(Drive(rx, {whole}).stored,
                      (std::vector<std::pair<uint32_t, uint8_t>>{{1, 5}}))
                << k;
        }
    }
}

TEST(RecordReceiver, ByteAtATimeStoresNothingAndEnds) {
    RecordReceiver rx;
    std::vector<Bytes> reads;
    for (uint8_t b : Tagged(1, 0x20)) {
        reads.push_back({b});
    }
    const Outcome out = Drive(rx, reads);
    EXPECT_TRUE(out.stored.empty());
    EXPECT_EQ(out.end, StepEnd::GiveUp);  // eleven failed reads in a row
}

TEST(ProgressTexts, AreFormattedAsShown) {
    EXPECT_EQ(StatusText(0, 0, 0), "Record: 0 of 0  Errors: 0");
    EXPECT_EQ(StatusText(12, 300, 7), "Record: 12 of 300  Errors: 7");
    EXPECT_EQ(ReceivedText(0, 0), "RECORDS RECEIVED: 0 of 0\r\n");
    EXPECT_EQ(ReceivedText(3, 2), "RECORDS RECEIVED: 3 of 2\r\n");
}

}  // namespace
}  // namespace ventaro
