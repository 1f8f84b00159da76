// The records the simulator holds and the payloads it makes of them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>

#include "sim/records.h"

namespace {

using brenvix::Payload;
using brenvix::RecordsSet;

int16_t Le16(const Payload& p, size_t at) {
    return static_cast<int16_t>(p[at] | (p[at + 1] << 8));
}

float LeFloat(const Payload& p, size_t at) {
    const uint32_t bits = static_cast<uint32_t>(p[at]) | static_cast<uint32_t>(p[at + 1]) << 8 |
                          static_cast<uint32_t>(p[at + 2]) << 16 |
                          static_cast<uint32_t>(p[at + 3]) << 24;
    float f = 0;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

std::string Bytes(const Payload& p, size_t from, size_t n) {
    return std::string(reinterpret_cast<const char*>(p.data() + from), n);
}

// The worked example of the records layout: three fields, six values.
RecordsSet SiteExample() {
    RecordsSet r;
    r.title1 = "SITE 12";
    r.title2 = "HOURLY MEANS";
    r.totalValues = 6;
    r.fieldsPerRecord = 3;
    r.widths[0] = 7, r.widths[1] = 6, r.widths[2] = 4;
    r.precisions[0] = 2, r.precisions[1] = 1, r.precisions[2] = 0;
    r.labels1[0] = "   TEMP", r.labels1[1] = "    RH", r.labels1[2] = "  WD";
    r.labels2[0] = "  DEG C", r.labels2[1] = "   PCT", r.labels2[2] = " DEG";
    r.values = {21.456f, 55.04f, 270.0f, -3.5f, 100.0f, 12345.0f};
    return r;
}

TEST(RecordPayloads, ExampleLayoutByteForByte) {
    const auto p = brenvix::RecordPayloads(SiteExample());
    ASSERT_EQ(p.size(), 7u);  // header, widths, four label blocks, one value block

    EXPECT_EQ(Bytes(p[0], 0, 8), std::string("SITE 12\0", 8));
    EXPECT_EQ(Bytes(p[0], 32, 13), std::string("HOURLY MEANS\0", 13));
    EXPECT_EQ(Le16(p[0], 64), 6);
    EXPECT_EQ(Le16(p[0], 66), 3);
    for (size_t i = 68; i < 128; ++i) {
        EXPECT_EQ(p[0][i], 0) << i;
    }

    EXPECT_EQ(Le16(p[1], 0), 7);
    EXPECT_EQ(Le16(p[1], 2), 6);
    EXPECT_EQ(Le16(p[1], 4), 4);
    EXPECT_EQ(Le16(p[1], 6), 0);
    EXPECT_EQ(Le16(p[1], 50), 2);
    EXPECT_EQ(Le16(p[1], 52), 1);
    EXPECT_EQ(Le16(p[1], 54), 0);

    // Labels packed by width: 7 + 6 + 4 = 17 characters, then nothing.
    EXPECT_EQ(Bytes(p[2], 0, 17), "   TEMP    RH  WD");
    EXPECT_EQ(p[2][17], 0);
    EXPECT_EQ(Bytes(p[4], 0, 17), "  DEG C   PCT DEG");
    EXPECT_EQ(p[3], Payload{});  // fields 14 to 25 have width 0
    EXPECT_EQ(p[5], Payload{});

    EXPECT_FLOAT_EQ(LeFloat(p[6], 0), 21.456f);
    EXPECT_FLOAT_EQ(LeFloat(p[6], 20), 12345.0f);
    for (size_t i = 24; i < 128; ++i) {
        EXPECT_EQ(p[6][i], 0) << "padding at " << i;
    }
}

TEST(RecordPayloads, ThirtyTwoCharacterTitleHasNoNul) {
    RecordsSet r;
    r.title1 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ01234 ";  // 32, ending in a space
    r.title2 = std::string(40, 'X');                // too long: cut at 32
    const auto p = brenvix::RecordPayloads(r);
    EXPECT_EQ(Bytes(p[0], 0, 32), r.title1);
    EXPECT_EQ(Bytes(p[0], 32, 32), std::string(32, 'X'));
    EXPECT_EQ(p[0][64], 0);
}

TEST(RecordPayloads, ShortLabelIsNulPaddedWithinItsWidth) {
    RecordsSet r;
    r.widths[0] = 5, r.widths[1] = 0, r.widths[2] = 3;
    r.labels1[0] = "AB", r.labels1[1] = "IGNORED", r.labels1[2] = "CDEFG";
    r.widths[13] = 4;
    r.labels1[13] = "LATE";
    const auto p = brenvix::RecordPayloads(r);
    EXPECT_EQ(Bytes(p[2], 0, 8), std::string("AB\0\0\0CDE", 8));
    EXPECT_EQ(Bytes(p[3], 0, 4), "LATE");
}

TEST(RecordPayloads, LabelsPastTheBlockAreCutOff) {
    RecordsSet r;
    for (size_t i = 0; i < 13; ++i) {
        r.widths[i] = 11;  // 143 bytes would not fit in 128
        r.labels1[i] = "LLLLLLLLLLL";
    }
    const auto p = brenvix::RecordPayloads(r);
    EXPECT_EQ(Bytes(p[2], 0, 128), std::string(128, 'L'));
}

TEST(RecordPayloads, ValueBlocksHoldThirtyTwoEach) {
    RecordsSet r;
    for (int i = 0; i < 65; ++i) {
        r.values.push_back(static_cast<float>(i));
    }
    const auto p = brenvix::RecordPayloads(r);
    ASSERT_EQ(p.size(), 6u + 3u);
    EXPECT_FLOAT_EQ(LeFloat(p[7], 0), 32.0f);
    EXPECT_FLOAT_EQ(LeFloat(p[8], 0), 64.0f);
    EXPECT_EQ(Le16(p[8], 4), 0);
}

TEST(DemoRecords, SeveralFieldsAndAFewHundredRecords) {
    const RecordsSet r = brenvix::DemoRecords();
    EXPECT_GE(r.fieldsPerRecord, 3);
    EXPECT_LE(r.fieldsPerRecord, 25);
    EXPECT_EQ(static_cast<size_t>(r.totalValues), r.values.size());
    const int records = r.totalValues / r.fieldsPerRecord;
    EXPECT_GE(records, 100);
    EXPECT_LE(records, 999);
    for (int i = 0; i < r.fieldsPerRecord; ++i) {
        EXPECT_GT(r.widths[static_cast<size_t>(i)], 0);
        EXPECT_LE(r.widths[static_cast<size_t>(i)], 11);
    }
}

TEST(DemoRecords, LargeSetWrapsTheBlockNumbers) {
    const RecordsSet r = brenvix::LargeDemoRecords();
    EXPECT_GT(brenvix::RecordPayloads(r).size(), 256u);
    EXPECT_EQ(static_cast<size_t>(r.totalValues), r.values.size());
}

TEST(RecordsText, ParsesEveryKey) {
    const std::string text =
        "# a comment\n"
        "title1: SITE 12\n"
        "title2: \"  PADDED  \"\n"
        "field: 7 2 \"   TEMP\" \"  DEG C\"\n"
        "field: 6 1 RH PCT\n"
        "field: 4 0\n"
        "values: 21.456 55.04 270\n"
        "\n"
        "values: -3.5 100 1e40\n";
    RecordsSet r;
    std::string err;
    ASSERT_TRUE(brenvix::ParseRecordsText(text, &r, &err)) << err;
    EXPECT_EQ(r.title1, "SITE 12");
    EXPECT_EQ(r.title2, "  PADDED  ");
    EXPECT_EQ(r.fieldsPerRecord, 3);  // defaults to the number of field lines
    EXPECT_EQ(r.totalValues, 6);      // defaults to the number of values
    EXPECT_EQ(r.widths[0], 7);
    EXPECT_EQ(r.precisions[1], 1);
    EXPECT_EQ(r.labels1[0], "   TEMP");
    EXPECT_EQ(r.labels2[1], "PCT");
    EXPECT_EQ(r.labels1[2], "");
    ASSERT_EQ(r.values.size(), 6u);
    EXPECT_TRUE(std::isinf(r.values[5]));
}

TEST(RecordsText, TheDocumentedExampleGivesTheWorkedLayout) {
    const std::string text =
        "# SITE 12, three fields\n"
        "title1: SITE 12\n"
        "title2: \"HOURLY MEANS    \"       # quotes keep leading and trailing spaces\n"
        "fields: 3                        # optional; default: the number of field lines\n"
        "total: 6                         # optional; default: the number of values\n"
        "field: 7 2 \"   TEMP\" \"  DEG C\"   # width precision label1 label2 (labels optional)\n"
        "field: 6 1 RH PCT\n"
        "field: 4 0 \"  WD\" \" DEG\"\n"
        "values: 21.456 55.04 270         # any number per line, any number of lines\n"
        "values: -3.5 100 12345\n";
    RecordsSet r;
    std::string err;
    ASSERT_TRUE(brenvix::ParseRecordsText(text, &r, &err)) << err;
    EXPECT_EQ(r.title2, "HOURLY MEANS    ");
    EXPECT_EQ(r.fieldsPerRecord, 3);
    EXPECT_EQ(r.totalValues, 6);
    EXPECT_EQ(r.labels1[2], "  WD");
    EXPECT_EQ(r.values.size(), 6u);
}

TEST(RecordsText, HashInsideAWordOrQuotesIsText) {
    RecordsSet r;
    std::string err;
    ASSERT_TRUE(brenvix::ParseRecordsText("title1: SITE#12\ntitle2: \"# 7\"\n", &r, &err)) << err;
    EXPECT_EQ(r.title1, "SITE#12");
    EXPECT_EQ(r.title2, "# 7");
}

TEST(RecordsText, ExplicitCountsOverrideTheDefaults) {
    RecordsSet r;
    std::string err;
    ASSERT_TRUE(
        brenvix::ParseRecordsText("fields: 0\ntotal: 13\nfield: 5 1\nvalues: 1 2\n", &r, &err))
        << err;
    EXPECT_EQ(r.fieldsPerRecord, 0);
    EXPECT_EQ(r.totalValues, 13);
}

struct BadText {
    const char* text;
    const char* mentions;
};

void PrintTo(const BadText& c, std::ostream* os) {
    *os << c.text;
}

class RecordsTextErrors : public ::testing::TestWithParam<BadText> {};

TEST_P(RecordsTextErrors, AreRefusedWithTheLine) {
    RecordsSet r = brenvix::DemoRecords();
    const RecordsSet before = r;
    std::string err;
    EXPECT_FALSE(brenvix::ParseRecordsText(GetParam().text, &r, &err));
    EXPECT_NE(err.find(GetParam().mentions), std::string::npos) << err;
    EXPECT_EQ(r.values, before.values);  // left unchanged
}

INSTANTIATE_TEST_SUITE_P(Table, RecordsTextErrors,
                         ::testing::Values(BadText{"colour: red\n", "line 1"},
                                           BadText{"title1: x\nno colon here\n", "line 2"},
                                           BadText{"values: 1 two\n", "two"},
                                           BadText{"fields: 40000\n", "line 1"},
                                           BadText{"field: 5\n", "field"},
                                           BadText{"title1: \"open\n", "quote"}));

TEST(RecordsText, TwentySixFieldLinesAreTooMany) {
    std::string text;
    for (int i = 0; i < 26; ++i) {
        text += "field: 1 0\n";
    }
    RecordsSet r;
    std::string err;
    EXPECT_FALSE(brenvix::ParseRecordsText(text, &r, &err));
    EXPECT_NE(err.find("line 26"), std::string::npos) << err;
}

TEST(RecordsText, LoadsFromAFile) {
    const std::string path = ::testing::TempDir() + "records_test.txt";
    {
        std::ofstream f(path);
        f << "title1: T\nfield: 3 0 A B\nvalues: 1 2 3\n";
    }
    RecordsSet r;
    std::string err;
    ASSERT_TRUE(brenvix::LoadRecordsFile(path, &r, &err)) << err;
    EXPECT_EQ(r.values.size(), 3u);
    EXPECT_FALSE(brenvix::LoadRecordsFile(path + ".missing", &r, &err));
    EXPECT_NE(err.find("cannot open"), std::string::npos);
}

}  // namespace
