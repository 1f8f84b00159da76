// Files that are not records files, or no longer whole ones: a clear error with the line and
// what was expected there, or the table of what the file still holds. Never a crash.
#include "viewer/records_text.h"

#include "tests/viewer/records_files.h"

#include <gtest/gtest.h>

#include <ostream>

namespace ventaro {
namespace {

using viewer_test::Rows;
using viewer_test::WriteRecordsFile;

const std::string kHeader =
    "SITE 12\r\nHOURLY MEANS\r\nNUMBER OF RECORDS: 2\r\nFIELDS PER RECORD: 3\r\n\r\n";
const std::string kLabels = "    TEMP     RH   WD\r\n   DEG C    PCT  DEG\r\n\r\n";
const std::string kRecord1 = "   21.46   55.0  270\r\n";
const std::string kRecord2 = "   -3.50  100.0 ****\r\n";

struct ErrorCase {
    const char* name;
    std::string bytes;
    int line;
    const char* expected;  // part of what the error says was expected
};

void PrintTo(const ErrorCase& c, std::ostream* os) {
    *os << c.name;
}

class NotARecordsFile : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(NotARecordsFile, SaysWhereAndWhatWasExpected) {
    const ErrorCase& c = GetParam();
    const RecordsTextResult result = ParseRecordsText(c.bytes);
    ASSERT_FALSE(result.table.has_value());
    EXPECT_EQ(result.error.line, c.line) << result.error.Message();
    EXPECT_NE(result.error.expected.find(c.expected), std::string::npos) << result.error.Message();
    EXPECT_EQ(result.error.Message().rfind("line " + std::to_string(c.line) + ": expected ", 0),
              0u);
}

INSTANTIATE_TEST_SUITE_P(
    Files, NotARecordsFile,
    ::testing::Values(
        ErrorCase{"Empty", "", 1, "title"},
        ErrorCase{"PlainText", "Dear diary,\r\ntoday\r\nnothing happened.\r\n", 3,
                  "NUMBER OF RECORDS: "},
        ErrorCase{"OneLineOnly", "just this", 2, "end of the file"},
        ErrorCase{"UnixText", "<html>\n<body>\n</body>\n", 3, "NUMBER OF RECORDS: "},
        ErrorCase{"CountNotANumber", "A\r\nB\r\nNUMBER OF RECORDS: many\r\n", 3, "a count"},
        ErrorCase{"CountNegative", "A\r\nB\r\nNUMBER OF RECORDS: -1\r\n", 3, "0 to 32767"},
        ErrorCase{"EndsAfterTheCount", "A\r\nB\r\nNUMBER OF RECORDS: 2\r\n", 4, "end of the file"},
        ErrorCase{"NoFields", "A\r\nB\r\nNUMBER OF RECORDS: 2\r\nFIELDS PER RECORD: 0\r\n", 4,
                  "1 to 32767"},
        ErrorCase{"FieldsLineMangled", "A\r\nB\r\nNUMBER OF RECORDS: 2\r\nFIELDS: 3\r\n", 4,
                  "FIELDS PER RECORD: "},
        ErrorCase{"NoBlankUnderTheHeader",
                  "A\r\nB\r\nNUMBER OF RECORDS: 2\r\nFIELDS PER RECORD: 3\r\nX\r\n", 5,
                  "empty line"},
        ErrorCase{"LabelRowWithoutItsSpace", kHeader + "TEMP RH WD\r\n", 6, "label row"},
        ErrorCase{"SecondLabelRowWithoutItsSpace", kHeader + " TEMP RH WD\r\nDEG\r\n", 7,
                  "label row"},
        ErrorCase{"LabelRowTooLong", kHeader + " " + std::string(40, 'X') + "\r\n A B C\r\n", 6,
                  "at most 11 characters"},
        ErrorCase{"NoBlankAboveTheRecords", kHeader + " A B C\r\n D E F\r\n 1 2 3\r\n", 8,
                  "empty line"},
        ErrorCase{"MoreAfterADownloadWithoutLabels", kHeader + "\r\nmore\r\n", 7,
                  "end of the file"},
        ErrorCase{"RecordWithoutItsSpace", kHeader + kLabels + kRecord1 + "21.46 55.0 270\r\n", 10,
                  "space before each value"},
        ErrorCase{"RecordWithAFourthValue",
                  kHeader + kLabels + "   21.46   55.0  270    1\r\n" + kRecord2, 9, "3 values"},
        ErrorCase{"ShortRecordBeforeTheLast",
                  kHeader + kLabels + kRecord1 + "   -3.50  100.0\r\n" + kRecord2, 10, "3 values"},
        ErrorCase{"ColumnsThatDoNotLineUp",
                  kHeader + kLabels + "   1    3\r\n   4    6\r\n  10  30 \r\n   7    9\r\n", 11,
                  "lined up"},
        ErrorCase{"RecordTooLong", kHeader + kLabels + " " + std::string(2000, '1') + "\r\n", 9,
                  "at most 1500 characters"},
        ErrorCase{"NoHeaderButText", "\r\nhello\r\n", 2, "empty line"},
        ErrorCase{"NoHeaderAndNoBlankLine", "\r\n\r\n 1\r\n", 3, "empty line"},
        ErrorCase{"NoHeaderTwoValuesOnALine", "\r\n\r\n\r\n 1\r\n 2 3\r\n", 5,
                  "end of the record after 1 value"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RecordsTextLimits, RefusesMoreThanAnyRecordsFileHolds) {
    const std::string huge(kMaxRecordsTextSize + 1, ' ');
    const RecordsTextResult result = ParseRecordsText(huge);
    ASSERT_FALSE(result.table.has_value());
    EXPECT_EQ(result.error.line, 1);
    EXPECT_NE(result.error.expected.find("at most"), std::string::npos);
}

TEST(RecordsTextLineEnds, AFileConvertedToLfReadsTheSame) {
    std::string crlf = WriteRecordsFile(brenvix::DemoRecords());
    std::string lf;
    for (char c : crlf) {
        if (c != '\r') {
            lf += c;
        }
    }
    const auto a = ParseRecordsText(crlf), b = ParseRecordsText(lf);
    ASSERT_TRUE(a.table && b.table) << b.error.Message();
    ASSERT_EQ(a.table->rows.size(), b.table->rows.size());
    for (size_t r = 0; r < a.table->rows.size(); ++r) {
        EXPECT_EQ(a.table->rows[r].texts, b.table->rows[r].texts);
    }
    EXPECT_EQ(a.table->labels2, b.table->labels2);
}

// Every prefix of a file is what an abandoned download (or a cut copy) may leave. Once the label
// rows are whole the file must read; once record lines enough to pin the columns are there, the
// table must hold no row the whole file does not hold, and never a value cut short.
void CheckEveryPrefix(const std::string& file, size_t labelsEnd, size_t pinned) {
    const auto whole = ParseRecordsText(file);
    ASSERT_TRUE(whole.table) << whole.error.Message();
    const RecordsTable& full = *whole.table;
    for (size_t length = 0; length <= file.size(); ++length) {
        const auto cut = ParseRecordsText(std::string_view(file).substr(0, length));
        if (!cut.table) {
            ASSERT_LT(length, labelsEnd) << cut.error.Message();
            continue;
        }
        if (length < pinned) {
            continue;
        }
        const RecordsTable& t = *cut.table;
        ASSERT_EQ(t.labels1, full.labels1) << length;
        ASSERT_LE(t.rows.size(), full.rows.size()) << length;
        for (size_t r = 0; r < t.rows.size(); ++r) {
            const auto& want = full.rows[r].texts;
            const auto& got = t.rows[r].texts;
            ASSERT_LE(got.size(), want.size());
            ASSERT_TRUE(std::equal(got.begin(), got.end(), want.begin()))
                << "prefix " << length << ", row " << r;
            if (r + 1 < t.rows.size()) {
                ASSERT_EQ(got.size(), want.size()) << "prefix " << length << ", row " << r;
            }
        }
    }
}

TEST(RecordsTextTruncated, EveryPrefixOfTheWorkedExample) {
    // No empty columns: one line, even cut short, shows where they are.
    const std::string head = kHeader + kLabels;
    CheckEveryPrefix(head + kRecord1 + kRecord2, head.size(), head.size());
}

TEST(RecordsTextTruncated, EveryPrefixOfALayoutWithEmptyColumns) {
    brenvix::RecordsSet set;
    set.title1 = "T";
    set.fieldsPerRecord = 4;
    set.widths = {0, 5, 0, 3};
    set.precisions = {0, 1, 0, 0};
    set.labels1 = {"", "LEVEL", "", "N"};
    set.values = {0, 1.5f, 0, 7, 0, -20.25f, 0, 100, 0, 3, 0, 9};
    set.totalValues = int16_t(set.values.size());
    const std::string file = WriteRecordsFile(set);
    // "    1.5    7" alone would fit widths 6, 0, 0, 3 as well: the next line pins them.
    const size_t labelsEnd = file.find("\r\n\r\n", file.find("LEVEL")) + 4;
    ASSERT_EQ(file.substr(labelsEnd, 28), "    1.5    7\r\n  -20.2  100\r\n");
    CheckEveryPrefix(file, labelsEnd, labelsEnd + 26);
}

TEST(RecordsTextTruncated, ACutValueIsLeftOutAndSaidSo) {
    const std::string file = kHeader + kLabels + kRecord1 + "   -3.50  10";
    const RecordsTextResult result = ParseRecordsText(file);
    ASSERT_TRUE(result.table) << result.error.Message();
    ASSERT_EQ(result.table->rows.size(), 2u);
    EXPECT_EQ(result.table->rows[1].texts, (std::vector<std::string>{"-3.50"}));
    ASSERT_EQ(result.table->notes.size(), 1u);
    EXPECT_EQ(result.table->notes[0].rfind("line 10: ", 0), 0u);
}

TEST(RecordsTextTruncated, ADemoDownloadClosedMidwayKeepsItsWholeRecords) {
    // Ten blocks: four of values, 128 values of 5 fields, so 25 records and 3 values of the 26th.
    const brenvix::RecordsSet set = brenvix::DemoRecords();
    const RecordsTextResult result = ParseRecordsText(WriteRecordsFile(set, 10, false));
    ASSERT_TRUE(result.table) << result.error.Message();
    Rows want = viewer_test::ExpectedRows(set);
    want.resize(26);
    want[25].resize(3);
    std::vector<std::vector<std::string>> got;
    for (const RecordRow& row : result.table->rows) {
        got.push_back(row.texts);
    }
    EXPECT_EQ(got, want);
    EXPECT_TRUE(result.table->notes.empty());
}

}  // namespace
}  // namespace ventaro
