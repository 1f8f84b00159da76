// The records text file: payloads in, file and terminal text out.
#include "device/records_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "tests/records/blocks.h"

namespace ventaro {
namespace {

using records_test::Formats;
using records_test::Header;
using records_test::Payload;
using records_test::Text;
using records_test::Values;

class RecordsFileTest : public ::testing::Test {
  protected:
    // Stores the payloads under the ordinals 1, 2, 3, ... in order.
    void StoreAll(const std::vector<Payload>& blocks) {
        for (const Payload& p : blocks) {
            records_.StoreRecordBlock(++ordinal_, p);
        }
    }
    // The label blocks of a layout that has no fields past the 13th.
    void StoreLabels(const std::string& row1, const std::string& row2) {
        StoreAll({Text(row1), Payload{}, Text(row2), Payload{}});
    }

    std::string file_;
    std::string terminal_;
    RecordsFile records_{[this](std::string_view s) { file_ += s; },
                         [this](std::string_view s) { terminal_ += s; }};
    uint32_t ordinal_ = 0;
};

TEST_F(RecordsFileTest, WorkedExampleByteForByte) {
    std::vector<float> values = {21.456f, 55.04f, 270.0f, -3.5f, 100.0f, 12345.0f};
    values.resize(32, 7.0f);  // past TotalValues: must not show
    StoreAll({Header("SITE 12", "HOURLY MEANS", 6, 3), Formats({7, 6, 4}, {2, 1, 0})});
    StoreLabels("   TEMP    RH  WD", "  DEG C   PCT DEG");
    StoreAll({Values(values)});
    records_.CloseRecordsFile();

    EXPECT_EQ(file_,
              "SITE 12\r\n"
              "HOURLY MEANS\r\n"
              "NUMBER OF RECORDS: 2\r\n"
              "FIELDS PER RECORD: 3\r\n"
              "\r\n"
              "    TEMP     RH   WD\r\n"
              "   DEG C    PCT  DEG\r\n"
              "\r\n"
              "   21.46   55.0  270\r\n"
              "   -3.50  100.0 ****\r\n");
    EXPECT_EQ(terminal_,
              "SITE 12\r\n"
              "HOURLY MEANS\r\n"
              "NUMBER OF RECORDS: 2\r\n"
              "FIELDS PER RECORD: 3\r\n");
    EXPECT_EQ(records_.RecordCount(), 2);
    EXPECT_EQ(records_.RecordsExpected(), 2);
}

TEST_F(RecordsFileTest, TitleWithoutNulKeepsAll32Characters) {
    const std::string title1 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ      ";  // 32, no NUL after it
    ASSERT_EQ(title1.size(), 32u);
    StoreAll({Header(title1, "SECOND", 2, 1)});
    EXPECT_EQ(records_.Layout().titleLine1, title1);
    EXPECT_EQ(terminal_.substr(0, 42), title1 + "\r\nSECOND\r\n");
}

TEST_F(RecordsFileTest, IncompleteLastRecordIsALineOfItsOwn) {
    StoreAll({Header("T", "U", 13, 6), Formats({3, 3, 3, 3, 3, 3}, {0, 0, 0, 0, 0, 0})});
    StoreLabels("", "");
    StoreAll({Values({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15})});
    records_.CloseRecordsFile();
    EXPECT_EQ(records_.RecordsExpected(), 2);
    EXPECT_EQ(records_.RecordCount(), 3);
    const std::string tail = "\r\n   1   2   3   4   5   6\r\n   7   8   9  10  11  12\r\n  13\r\n";
    ASSERT_GE(file_.size(), tail.size());
    EXPECT_EQ(file_.substr(file_.size() - tail.size()), tail);
    EXPECT_NE(file_.find("NUMBER OF RECORDS: 2\r\n"), std::string::npos);
}

TEST_F(RecordsFileTest, NoFieldsGivesOneValuePerLineInTheFirstFieldsFormat) {
    StoreAll({Header("T", "U", 3, 0), Formats({5, 9}, {1, 4})});
    StoreLabels("LABEL", "LABEL");
    StoreAll({Values({1.0f, 2.0f, 3.0f, 4.0f})});
    records_.CloseRecordsFile();
    EXPECT_EQ(file_, "\r\n\r\n\r\n   1.0\r\n   2.0\r\n   3.0\r\n");
    EXPECT_EQ(terminal_, "");
    EXPECT_EQ(records_.RecordsExpected(), 3);
    EXPECT_EQ(records_.RecordCount(), 3);
}

TEST_F(RecordsFileTest, DownloadEndingAfterTheHeaderKeepsItWithTheClosingLine) {
    StoreAll({Header("SITE 12", "HOURLY MEANS", 6, 3)});
    records_.CloseRecordsFile();
    EXPECT_EQ(file_,
              "SITE 12\r\nHOURLY MEANS\r\nNUMBER OF RECORDS: 2\r\nFIELDS PER RECORD: 3\r\n\r\n"
              "\r\n");
}

TEST_F(RecordsFileTest, ValuesPastTotalValuesAreSkippedAcrossBlocks) {
    StoreAll({Header("T", "U", 33, 1), Formats({2}, {0})});
    StoreLabels("", "");
    const std::vector<float> nines(32, 9.0f);
    StoreAll({Values(nines), Values(nines)});
    const std::string afterTwo = file_;
    StoreAll({Values(nines)});
    EXPECT_EQ(file_, afterTwo);
    EXPECT_EQ(records_.ValueCount(), 33u);
    EXPECT_EQ(records_.RecordCount(), 33);
}

TEST_F(RecordsFileTest, WidthZeroFieldShowsOnlyItsSeparator) {
    StoreAll({Header("T", "U", 3, 3), Formats({3, 0, 3}, {0, 5, 0})});
    StoreLabels("AAABBB", "CCCDDD");
    StoreAll({Values({1, 2, 3})});
    const std::string rows = "\r\n AAA  BBB\r\n CCC  DDD\r\n\r\n   1    3";
    ASSERT_GE(file_.size(), rows.size());
    EXPECT_EQ(file_.substr(file_.size() - rows.size()), rows);
    EXPECT_EQ(records_.Layout().labelRow1[1], "");
}

TEST_F(RecordsFileTest, LabelStopsAtItsFirstNul) {
    StoreAll({Header("T", "U", 0, 2), Formats({4, 4}, {})});
    StoreLabels(std::string("AB\0\0CDEF", 8), std::string("\0XYZWXYZ", 8));
    EXPECT_EQ(records_.Layout().labelRow1[0], "AB");
    EXPECT_EQ(records_.Layout().labelRow1[1], "CDEF");
    EXPECT_EQ(records_.Layout().labelRow2[0], "");
    EXPECT_EQ(records_.Layout().labelRow2[1], "WXYZ");
}

// One value's column text.
struct ValueCase {
    const char* name;
    double value;
    int width;
    int precision;
    std::string text;
};

void PrintTo(const ValueCase& c, std::ostream* os) {
    *os << c.name;
}

class ValueText : public ::testing::TestWithParam<ValueCase> {};

TEST_P(ValueText, FollowsTheColumn) {
    const ValueCase& c = GetParam();
    EXPECT_EQ(FormatRecordValue(c.value, c.width, c.precision), c.text);
}

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Columns, ValueText,
    ::testing::Values(
        ValueCase{"Rounded", double(21.456f), 7, 2, "  21.46"},
        ValueCase{"ExactlyTheWidth", -3.5, 5, 2, "-3.50"},
        ValueCase{"TooWideBecomesAsterisks", 12345, 4, 0, "****"},
        ValueCase{"AsterisksStopAtTwelve", 1e30, 20, 0, "************"},
        ValueCase{"WidthZeroIsEmpty", 1.5, 0, 1, ""},
        ValueCase{"NegativeWidthIsEmpty", 1.5, -4, 1, ""},
        ValueCase{"NegativePrecisionMeansSix", 1.5, 10, -1, "  1.500000"},
        ValueCase{"NegativePrecisionTooWide", 1.5, 5, -3, "*****"},
        ValueCase{"Nan", kNan, 5, 2, "  NAN"}, ValueCase{"NegativeNanIsNan", -kNan, 3, 2, "NAN"},
        ValueCase{"Inf", kInf, 4, 0, " INF"}, ValueCase{"MinusInf", -kInf, 4, 0, "-INF"},
        ValueCase{"MinusInfTooWide", -kInf, 3, 0, "***"},
        ValueCase{"FillsTheBuffer", 1, 499, 0, std::string(498, ' ') + "1"},
        ValueCase{"WidthPastTheBuffer", 1, 500, 0, "************"},
        ValueCase{"PrecisionFillsTheBuffer", 0, 499, 497, "0." + std::string(497, '0')},
        ValueCase{"PrecisionPastTheBuffer", 0, 499, 498, "************"},
        ValueCase{"LargestWidthAndPrecision", 1, 32767, 32767, "************"}),
    [](const auto& info) { return std::string(info.param.name); });

// Layouts the instrument should never announce: decoded without reaching outside the payload,
// the 25-entry tables or the text buffer.
using RecordsFileLimits = RecordsFileTest;

TEST_F(RecordsFileLimits, FieldsPast25AreCountedButNotWritten) {
    std::vector<int16_t> widths(25, 2);
    StoreAll({Header("T", "U", 60, 30), Formats(widths, std::vector<int16_t>(25, 0))});
    StoreLabels("", "");
    std::vector<float> values(32);
    for (size_t i = 0; i < values.size(); ++i) {
        values[i] = float(i % 10);
    }
    StoreAll({Values(values)});
    EXPECT_NE(terminal_.find("FIELDS PER RECORD: 30\r\n"), std::string::npos);
    EXPECT_EQ(records_.RecordsExpected(), 2);
    std::string first = "\r\n";
    for (int i = 0; i < 25; ++i) {
        first += "  " + std::to_string(i % 10);
    }
    // Values 25 to 29 vanish; value 30 begins the second record.
    const std::string tail = first + "\r\n  0  1";
    ASSERT_GE(file_.size(), tail.size());
    EXPECT_EQ(file_.substr(file_.size() - tail.size()), tail);
    EXPECT_EQ(records_.RecordCount(), 2);
    EXPECT_EQ(records_.ValueCount(), 32u);
}

TEST_F(RecordsFileLimits, NegativeFieldsPerRecordCountsAsNone) {
    StoreAll({Header("T", "U", 2, -3), Formats({3}, {0})});
    StoreLabels("", "");
    StoreAll({Values({1, 2, 3})});
    EXPECT_EQ(file_, "\r\n\r\n\r\n   1\r\n   2");
    EXPECT_EQ(terminal_, "");
    EXPECT_EQ(records_.RecordsExpected(), 2);
}

struct CountCase {
    int16_t total;
    int16_t fields;
    int expected;
};

TEST_F(RecordsFileLimits, NegativeOrExtremeCountsNeitherDivideByZeroNorOverflow) {
    const CountCase cases[] = {
        {-32768, -1, 0},        {-5, 3, 0},        {-5, 0, 0},
        {32767, 1, 32767},      {32767, 0, 32767}, {32767, 25, 1310},
        {32767, -32768, 32767}, {7, 32767, 0},
    };
    for (const CountCase& c : cases) {
        std::string sink;
        RecordsFile records([&](std::string_view s) { sink += s; }, [](std::string_view) {});
        records.StoreRecordBlock(1, Header("T", "U", c.total, c.fields));
        records.StoreRecordBlock(7, Values(std::vector<float>(32, 1.0f)));
        EXPECT_EQ(records.RecordsExpected(), c.expected) << c.total << " / " << c.fields;
        EXPECT_LE(records.ValueCount(), uint32_t(std::max<int>(c.total, 0)));
    }
}

TEST_F(RecordsFileLimits, LabelWidthsAreClampedAndCutAtTheBlockEnd) {
    std::vector<int16_t> widths(25, 40);
    widths[1] = -7;  // takes no bytes
    StoreAll({Header("T", "U", 0, 25), Formats(widths, {})});
    std::string block(128, 'x');
    for (size_t i = 0; i < block.size(); ++i) {
        block[i] = char('A' + (i / 11) % 26);
    }
    StoreAll({Text(block), Text(std::string(128, 'z'))});
    const auto& row = records_.Layout().labelRow1;
    EXPECT_EQ(row[0], std::string(11, 'A'));
    EXPECT_EQ(row[1], "");
    EXPECT_EQ(row[2], std::string(11, 'B'));
    // Labels 0, 2..11 take 11 bytes each (121); label 12 gets the 7 that are left.
    EXPECT_EQ(row[12], std::string(7, 'L'));
    EXPECT_EQ(row[13], std::string(11, 'z'));
    EXPECT_EQ(row[24], std::string(7, 'z'));
}

TEST_F(RecordsFileLimits, WidthAndPrecisionBeyondTheBufferGiveAsterisks) {
    StoreAll({Header("T", "U", 2, 2), Formats({32767, -32768}, {32767, -32768})});
    StoreLabels("", "");
    StoreAll({Values({1.0f, 2.0f})});
    EXPECT_EQ(file_.substr(file_.size() - 16), "\r\n ************ ");
}

}  // namespace
}  // namespace ventaro
