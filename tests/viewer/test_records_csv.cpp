// The records as CSV: the exact bytes for known files, and the quoting rules.
#include "viewer/records_csv.h"

#include "tests/viewer/records_files.h"

#include <gtest/gtest.h>

namespace ventaro {
namespace {

std::string Csv(std::string_view text) {
    RecordsTextError error;
    const auto csv = RecordsTextToCsv(text, &error);
    EXPECT_TRUE(csv.has_value()) << error.Message();
    return csv.value_or("");
}

TEST(RecordsCsv, WorkedExampleIsExact) {
    EXPECT_EQ(Csv("SITE 12\r\n"
                  "HOURLY MEANS\r\n"
                  "NUMBER OF RECORDS: 2\r\n"
                  "FIELDS PER RECORD: 3\r\n"
                  "\r\n"
                  "    TEMP     RH   WD\r\n"
                  "   DEG C    PCT  DEG\r\n"
                  "\r\n"
                  "   21.46   55.0  270\r\n"
                  "   -3.50  100.0 ****\r\n"),
              "TEMP DEG C,RH PCT,WD DEG\r\n"
              "21.46,55.0,270\r\n"
              "-3.50,100.0,\r\n");
}

TEST(RecordsCsv, EmptyColumnsIncompleteRecordsAndOddLabels) {
    brenvix::RecordsSet set;
    set.fieldsPerRecord = 4;
    set.widths = {3, 0, 5, 4};
    set.precisions = {0, 0, 1, 0};
    set.labels1 = {"A,B", "", "\"Q\"", ""};
    set.labels2 = {"", "", "X", ""};
    set.values = {1, 0, 2.5f, 99999, 4, 0, 5};
    set.totalValues = int16_t(set.values.size());
    EXPECT_EQ(Csv(viewer_test::WriteRecordsFile(set)),
              "\"A,B\",Field 2,\"\"\"Q\"\" X\",Field 4\r\n"
              "1,,2.5,\r\n"
              "4,,5.0,\r\n");
}

TEST(RecordsCsv, NoFieldsPerRecordIsOneColumn) {
    EXPECT_EQ(Csv("\r\n\r\n\r\n   1.0\r\n  -2.5\r\n *****\r\n"), "Field 1\r\n1.0\r\n-2.5\r\n\r\n");
}

TEST(RecordsCsv, ADownloadWithoutRecordsIsOnlyTheHeaderRow) {
    EXPECT_EQ(Csv("SITE 12\r\nHOURLY MEANS\r\nNUMBER OF RECORDS: 2\r\nFIELDS PER RECORD: 2\r\n"
                  "\r\n\r\n"),
              "Field 1,Field 2\r\n");
}

TEST(RecordsCsv, RefusesWhatIsNotARecordsFile) {
    RecordsTextError error;
    EXPECT_FALSE(RecordsTextToCsv("a,b,c\r\n1,2,3\r\n", &error).has_value());
    EXPECT_EQ(error.line, 3);
}

struct FieldCase {
    const char* text;
    const char* field;
};

TEST(RecordsCsv, QuotesOnlyWhatNeedsIt) {
    const FieldCase cases[] = {
        {"", ""},
        {"plain text", "plain text"},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\r\nlines", "\"two\r\nlines\""},
        {"lf\nonly", "\"lf\nonly\""},
        {"cr\ronly", "\"cr\ronly\""},
        {"\xB0"
         "C",
         "\xB0"
         "C"},
    };
    for (const FieldCase& c : cases) {
        EXPECT_EQ(CsvField(c.text), c.field) << c.text;
    }
}

}  // namespace
}  // namespace ventaro
