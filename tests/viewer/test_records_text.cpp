// Reading records text files back: every file the writer produces gives back its values as
// written, and anything else gives the line where it stops being a records file.
#include "viewer/records_text.h"

#include "tests/viewer/records_files.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ostream>

namespace ventaro {
namespace {

using viewer_test::ExpectedRows;
using viewer_test::Rows;
using viewer_test::Trim;
using viewer_test::WriteRecordsFile;

RecordsTable Parse(std::string_view bytes) {
    RecordsTextResult result = ParseRecordsText(bytes);
    EXPECT_TRUE(result.table.has_value()) << result.error.Message();
    return result.table ? std::move(*result.table) : RecordsTable{};
}

Rows Texts(const RecordsTable& table) {
    Rows rows;
    for (const RecordRow& row : table.rows) {
        rows.push_back(row.texts);
    }
    return rows;
}

// A number wherever the text is one, and the number it says.
void ExpectValuesMatchTexts(const RecordsTable& table) {
    for (const RecordRow& row : table.rows) {
        ASSERT_EQ(row.values.size(), row.texts.size());
        for (size_t c = 0; c < row.texts.size(); ++c) {
            const std::string& text = row.texts[c];
            const bool number =
                !text.empty() && text.find_first_not_of("-.0123456789") == std::string::npos;
            ASSERT_EQ(row.values[c].has_value(), number) << text;
            if (number) {
                EXPECT_EQ(*row.values[c], std::strtod(text.c_str(), nullptr)) << text;
            }
        }
    }
}

class DemoRoundTrip : public ::testing::TestWithParam<brenvix::RecordsSet (*)()> {};

TEST_P(DemoRoundTrip, GivesBackEveryValueAsWritten) {
    const brenvix::RecordsSet set = GetParam()();
    const RecordsTable table = Parse(WriteRecordsFile(set));
    EXPECT_TRUE(table.hasHeader);
    EXPECT_EQ(table.title1, set.title1);
    EXPECT_EQ(table.title2, set.title2);
    EXPECT_EQ(table.numberOfRecords, set.totalValues / set.fieldsPerRecord);
    EXPECT_EQ(table.fieldsPerRecord, set.fieldsPerRecord);
    ASSERT_EQ(table.Columns(), set.fieldsPerRecord);
    for (int c = 0; c < table.Columns(); ++c) {
        EXPECT_EQ(table.labels1[size_t(c)], Trim(set.labels1[size_t(c)]));
        EXPECT_EQ(table.labels2[size_t(c)], Trim(set.labels2[size_t(c)]));
        EXPECT_EQ(table.widths[size_t(c)], set.widths[size_t(c)]);
    }
    EXPECT_EQ(Texts(table), ExpectedRows(set));
    ExpectValuesMatchTexts(table);
    EXPECT_TRUE(table.notes.empty());
}

INSTANTIATE_TEST_SUITE_P(Sets, DemoRoundTrip,
                         ::testing::Values(&brenvix::DemoRecords, &brenvix::LargeDemoRecords));

TEST(RecordsText, WorkedExampleFromItsBytes) {
    const RecordsTable table = Parse(
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
    EXPECT_EQ(table.title1, "SITE 12");
    EXPECT_EQ(table.title2, "HOURLY MEANS");
    EXPECT_EQ(table.numberOfRecords, 2);
    EXPECT_EQ(table.fieldsPerRecord, 3);
    EXPECT_EQ(table.labels1, (std::vector<std::string>{"TEMP", "RH", "WD"}));
    EXPECT_EQ(table.labels2, (std::vector<std::string>{"DEG C", "PCT", "DEG"}));
    EXPECT_EQ(table.widths, (std::vector<int>{7, 6, 4}));
    EXPECT_EQ(Texts(table), (Rows{{"21.46", "55.0", "270"}, {"-3.50", "100.0", "****"}}));
    ASSERT_EQ(table.rows.size(), 2u);
    EXPECT_EQ(table.rows[1].values[0], -3.5);
    EXPECT_EQ(table.rows[1].values[2], std::nullopt);
}

// Hand-made layouts, written by the program's own writer.
struct LayoutCase {
    const char* name;
    brenvix::RecordsSet set;
    size_t blocks = 1000;  // stored before the download ended
    bool closed = true;
    bool hasHeader = true;
    bool hasLabelRows = true;
    std::vector<std::string> labels1, labels2;
    Rows rows;
};

void PrintTo(const LayoutCase& c, std::ostream* os) {
    *os << c.name;
}

brenvix::RecordsSet Set(int16_t fields, std::vector<int16_t> widths,
                        std::vector<int16_t> precisions, std::vector<std::string> labels1,
                        std::vector<std::string> labels2, std::vector<float> values) {
    brenvix::RecordsSet set;
    set.title1 = "T1";
    set.title2 = "T2";
    set.fieldsPerRecord = fields;
    set.totalValues = int16_t(values.size());
    std::copy(widths.begin(), widths.end(), set.widths.begin());
    std::copy(precisions.begin(), precisions.end(), set.precisions.begin());
    std::copy(labels1.begin(), labels1.end(), set.labels1.begin());
    std::copy(labels2.begin(), labels2.end(), set.labels2.begin());
    set.values = std::move(values);
    return set;
}

brenvix::RecordsSet WorkedExample() {
    return Set(3, {7, 6, 4}, {2, 1, 0}, {"   TEMP", "    RH", "  WD"},
               {"  DEG C", "   PCT", " DEG"}, {21.456f, 55.04f, 270, -3.5f, 100, 12345});
}

brenvix::RecordsSet TitleOf32() {
    brenvix::RecordsSet set = WorkedExample();
    set.title1 = "ALL THIRTY-TWO CHARACTERS HERE  ";
    return set;
}

brenvix::RecordsSet MoreThan25Fields() {
    std::vector<float> values;
    for (int i = 0; i < 54; ++i) {
        values.push_back(float(i % 10));
    }
    return Set(27, std::vector<int16_t>(25, 2), {}, {}, {}, values);
}

Rows MoreThan25FieldsRows() {
    Rows rows(2);
    for (int i = 0; i < 54; ++i) {
        if (i % 27 < 25) {
            rows[size_t(i / 27)].push_back(std::to_string(i % 10));
        }
    }
    return rows;
}

class LayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(LayoutTest, ReadsBackWhatWasWritten) {
    const LayoutCase& c = GetParam();
    const RecordsTable table = Parse(WriteRecordsFile(c.set, c.blocks, c.closed));
    EXPECT_EQ(table.hasHeader, c.hasHeader);
    if (c.hasHeader) {
        EXPECT_EQ(table.title1, c.set.title1);
        EXPECT_EQ(table.title2, c.set.title2);
        EXPECT_EQ(table.fieldsPerRecord, c.set.fieldsPerRecord);
        EXPECT_EQ(table.numberOfRecords, c.set.totalValues / c.set.fieldsPerRecord);
    }
    EXPECT_EQ(table.hasLabelRows, c.hasLabelRows);
    EXPECT_EQ(table.labels1, c.labels1);
    EXPECT_EQ(table.labels2, c.labels2);
    EXPECT_EQ(Texts(table), c.rows);
    ExpectValuesMatchTexts(table);
    EXPECT_TRUE(table.notes.empty());
}

const float kNan = std::nanf("");
const float kInf = INFINITY;
const std::vector<std::string> kThree(3), kOne(1);

INSTANTIATE_TEST_SUITE_P(
    Layouts, LayoutTest,
    ::testing::Values(
        LayoutCase{"WorkedExample",
                   WorkedExample(),
                   1000,
                   true,
                   true,
                   true,
                   {"TEMP", "RH", "WD"},
                   {"DEG C", "PCT", "DEG"},
                   {{"21.46", "55.0", "270"}, {"-3.50", "100.0", "****"}}},
        LayoutCase{
            "WidthZeroInTheMiddle",
            Set(3, {3, 0, 3}, {}, {"AAA", "", "BBB"}, {"CCC", "", "DDD"}, {1, 2, 3, 4, 5, 6}),
            1000,
            true,
            true,
            true,
            {"AAA", "", "BBB"},
            {"CCC", "", "DDD"},
            {{"1", "", "3"}, {"4", "", "6"}}},
        LayoutCase{"WidthZeroAtBothEnds",
                   Set(3, {0, 4, 0}, {}, {"", "ABCD", ""}, {"", "EFGH", ""}, {1, 2, 3, 4, 5, 6}),
                   1000,
                   true,
                   true,
                   true,
                   {"", "ABCD", ""},
                   {"", "EFGH", ""},
                   {{"", "2", ""}, {"", "5", ""}}},
        LayoutCase{"WidthZeroWithShortLabels",
                   Set(3, {3, 0, 3}, {}, {"A", "", "B"}, {"", "", "CC"}, {1, 2, 3, 10, 20, 30}),
                   1000,
                   true,
                   true,
                   true,
                   {"A", "", "B"},
                   {"", "", "CC"},
                   {{"1", "", "3"}, {"10", "", "30"}}},
        LayoutCase{"LabelsShorterThanTheirColumns",
                   Set(2, {8, 8}, {1, 0}, {"TEMP", "RH"}, {"DEG C", "PCT"}, {1, 2, 3, 4}),
                   1000,
                   true,
                   true,
                   true,
                   {"TEMP", "RH"},
                   {"DEG C", "PCT"},
                   {{"1.0", "2"}, {"3.0", "4"}}},
        LayoutCase{"TooWideForItsColumn",
                   Set(2, {4, 14}, {1, 2}, {"AAAA", "BBBBBBBBBBB"}, {"", ""},
                       {1.5f, 2.5f, 12345, 1e20f, 3, 4}),
                   1000,
                   true,
                   true,
                   true,
                   {"AAAA", "BBBBBBBBBBB"},
                   {"", ""},
                   {{"1.5", "2.50"}, {"****", "************"}, {"3.0", "4.00"}}},
        LayoutCase{
            "TooWideInDifferentColumnsBesideAnEmptyOne",
            Set(3, {14, 0, 14}, {2, 0, 2}, {"A", "", "B"}, {}, {1e20f, 0, 1, 1, 0, 1e20f, 1, 0, 2}),
            // The instrument packs labels 14 apart, the receiver reads 11: B is lost.
            1000,
            true,
            true,
            true,
            {"A", "", ""},
            kThree,
            {{"************", "", "1.00"}, {"1.00", "", "************"}, {"1.00", "", "2.00"}}},
        LayoutCase{
            "IncompleteLastRecord",
            Set(6, {3, 3, 3, 3, 3, 3}, {}, {}, {}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}),
            1000,
            true,
            true,
            true,
            std::vector<std::string>(6),
            std::vector<std::string>(6),
            {{"1", "2", "3", "4", "5", "6"}, {"7", "8", "9", "10", "11", "12"}, {"13"}}},
        LayoutCase{"OnlyAnIncompleteRecord",
                   Set(3, {2, 2, 2}, {}, {"A", "B", "C"}, {}, {7, 8}),
                   1000,
                   true,
                   true,
                   true,
                   {"A", "B", "C"},
                   kThree,
                   {{"7", "8"}}},
        LayoutCase{"NoFieldsPerRecord",
                   Set(0, {5}, {1}, {"X"}, {"Y"}, {1, 2, 3}),
                   1000,
                   true,
                   false,
                   true,
                   kOne,
                   kOne,
                   {{"1.0"}, {"2.0"}, {"3.0"}}},
        LayoutCase{"NoFieldsAndWidthZero",
                   Set(0, {0}, {}, {}, {}, {1, 2}),
                   1000,
                   true,
                   false,
                   true,
                   kOne,
                   kOne,
                   {{""}, {""}}},
        LayoutCase{"NegativeFieldsCountAsNone",
                   Set(-3, {3}, {}, {}, {}, {1, 2}),
                   1000,
                   true,
                   false,
                   true,
                   kOne,
                   kOne,
                   {{"1"}, {"2"}}},
        LayoutCase{"NanAndInfinity",
                   Set(2, {5, 5}, {1, 1}, {"A", "B"}, {}, {kNan, kInf, -kInf, 1}),
                   1000,
                   true,
                   true,
                   true,
                   {"A", "B"},
                   {"", ""},
                   {{"NAN", "INF"}, {"-INF", "1.0"}}},
        LayoutCase{"MoreThan25Fields", MoreThan25Fields(), 1000, true, true, true,
                   std::vector<std::string>(25), std::vector<std::string>(25),
                   MoreThan25FieldsRows()},
        LayoutCase{"TitleWithoutNul", TitleOf32(), 1, true, true, false, kThree, kThree, {}},
        LayoutCase{
            "EndedAfterTheHeader", WorkedExample(), 1, true, true, false, kThree, kThree, {}},
        LayoutCase{"EndedAfterTheHeaderWithoutClosingLine",
                   WorkedExample(),
                   1,
                   false,
                   true,
                   false,
                   kThree,
                   kThree,
                   {}},
        LayoutCase{"EndedAfterTheLabels",
                   WorkedExample(),
                   6,
                   true,
                   true,
                   true,
                   {"TEMP", "RH", "WD"},
                   {"DEG C", "PCT", "DEG"},
                   {}},
        LayoutCase{"EndedAfterTheLabelsWithoutClosingLine",
                   WorkedExample(),
                   6,
                   false,
                   true,
                   true,
                   {"TEMP", "RH", "WD"},
                   {"DEG C", "PCT", "DEG"},
                   {}},
        LayoutCase{"EndedAfterTheValuesWithoutClosingLine",
                   WorkedExample(),
                   7,
                   false,
                   true,
                   true,
                   {"TEMP", "RH", "WD"},
                   {"DEG C", "PCT", "DEG"},
                   {{"21.46", "55.0", "270"}, {"-3.50", "100.0", "****"}}},
        LayoutCase{"NothingStored", WorkedExample(), 0, true, false, false, kOne, kOne, {}},
        LayoutCase{"NoFieldsEndedBeforeTheLabels",
                   Set(0, {5}, {1}, {}, {}, {1}),
                   5,
                   true,
                   false,
                   false,
                   kOne,
                   kOne,
                   {}},
        LayoutCase{"NoFieldsEndedAfterTheLabels",
                   Set(0, {5}, {1}, {}, {}, {1}),
                   6,
                   false,
                   false,
                   true,
                   kOne,
                   kOne,
                   {}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ventaro
