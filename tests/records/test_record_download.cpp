// Whole downloads of the simulator's records: the receiver's steps carried out against the records
// file, the way the menu handler's loop does it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/record_protocol.h"
#include "device/records_file.h"
#include "sim/records.h"
#include "tests/records/blocks.h"

namespace ventaro {
namespace {

using records_test::Block;
using records_test::Bytes;

struct Download {
    std::string file;
    std::string terminal;
    Bytes sent;
    int recordCount = 0;
    int recordsExpected = 0;
};

Download DownloadAll(const std::vector<Bytes>& reads) {
    Download d;
    RecordsFile records([&](std::string_view s) { d.file += s; },
                        [&](std::string_view s) { d.terminal += s; });
    RecordReceiver rx;
    for (const Bytes& read : reads) {
        const Step step = rx.OnRead(read);
        for (const Action& a : step.actions) {
            if (a.kind == ActionKind::Store) {
                records.StoreRecordBlock(step.ordinal, step.payload);
            } else if (a.kind == ActionKind::Show) {
                d.terminal += a.text;
            } else if (a.kind == ActionKind::Send) {
                d.sent.push_back(static_cast<uint8_t>(a.value));
            }
        }
        if (step.end != StepEnd::Continue) {
            break;
        }
    }
    records.CloseRecordsFile();
    d.recordCount = records.RecordCount();
    d.recordsExpected = records.RecordsExpected();
    return d;
}

std::vector<Bytes> Blocks(const brenvix::RecordsSet& set) {
    std::vector<Bytes> reads;
    const auto payloads = brenvix::RecordPayloads(set);
    for (size_t i = 0; i < payloads.size(); ++i) {
        reads.push_back(Block(static_cast<uint8_t>(i + 1), payloads[i]));
    }
    return reads;
}

std::vector<Bytes> WithEot(std::vector<Bytes> reads) {
    reads.push_back({0x04});
    return reads;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t from = 0;
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", from)) {
        lines.push_back(text.substr(from, at - from));
        from = at + 2;
    }
    lines.push_back(text.substr(from));
    return lines;
}

TEST(RecordDownload, CleanDemoDownloadWritesEveryRecordInItsColumns) {
    const Download d = DownloadAll(WithEot(Blocks(brenvix::DemoRecords())));
    EXPECT_EQ(d.recordCount, 300);
    EXPECT_EQ(d.recordsExpected, 300);
    const std::string header =
        "BRENVIX SITE 12\r\nHOURLY MEANS\r\nNUMBER OF RECORDS: 300\r\nFIELDS PER RECORD: 5\r\n\r\n";
    EXPECT_EQ(d.file.substr(0, header.size()), header);
    const auto lines = Lines(d.file);
    ASSERT_EQ(lines.size(), 8u + 300u + 1u);  // the file ends with a line end
    EXPECT_EQ(lines[5], "  HOUR     TEMP      RH    WIND   DIR");
    EXPECT_EQ(lines[7], "");
    for (size_t i = 8; i < 308; ++i) {
        EXPECT_EQ(lines[i].size(), 1u + 5 + 1 + 8 + 1 + 7 + 1 + 7 + 1 + 5) << i;
    }
    EXPECT_EQ(d.sent, Bytes(53, 0x06));
}

TEST(RecordDownload, LargeDownloadWrapsTheBlockNumbers) {
    const auto reads = Blocks(brenvix::LargeDemoRecords());
    ASSERT_GT(reads.size(), 256u);
    const Download d = DownloadAll(WithEot(reads));
    EXPECT_EQ(d.recordCount, 1200);
    EXPECT_EQ(d.recordsExpected, 1200);
    EXPECT_NE(d.terminal.find("BLOCK 256\r\nBLOCK 257\r\n"), std::string::npos);
    EXPECT_EQ(d.sent, Bytes(reads.size(), 0x06));
}

// Lost ACKs and damaged blocks cost retries, never a record: the file is the clean one.
TEST(RecordDownload, RetriesLeaveTheFileAsACleanRunWritesIt) {
    const auto clean = Blocks(brenvix::DemoRecords());
    std::vector<Bytes> rough;
    for (size_t i = 0; i < clean.size(); ++i) {
        if (i == 4 || i == 20) {
            Bytes damaged = clean[i];
            damaged[60] ^= 0x40;
            rough.push_back(damaged);
        }
        rough.push_back(clean[i]);
        if (i == 2 || i == 10) {
            rough.push_back({});        // its ACK was lost: nothing came back in time
            rough.push_back(clean[i]);  // so the instrument sends it again
        }
    }
    const Download a = DownloadAll(WithEot(clean));
    const Download b = DownloadAll(WithEot(rough));
    EXPECT_EQ(b.file, a.file);
    EXPECT_EQ(b.recordCount, 300);
    EXPECT_EQ(b.sent.size(), a.sent.size() + 6);
}

TEST(RecordDownload, EotFirstLeavesOnlyTheClosingLine) {
    const Download d = DownloadAll({{0x04}});
    EXPECT_EQ(d.file, "\r\n");
    EXPECT_EQ(ReceivedText(d.recordCount, d.recordsExpected), "RECORDS RECEIVED: 0 of 0\r\n");
}

TEST(RecordDownload, GivingUpKeepsWhatWasStored) {
    const auto clean = Blocks(brenvix::DemoRecords());
    std::vector<Bytes> reads(clean.begin(), clean.begin() + 8);
    const Download part = DownloadAll(reads);  // ends without EOT: the closing line follows block 8
    reads.insert(reads.end(), 10, Bytes{});
    const Download d = DownloadAll(reads);
    EXPECT_EQ(d.file, part.file);
    EXPECT_EQ(d.recordCount, 64 / 5 + 1);
    ASSERT_GE(d.sent.size(), 2u);
    EXPECT_EQ(d.sent.back(), 0x03);
    EXPECT_EQ(d.sent[d.sent.size() - 2], 0x15);
}

}  // namespace
}  // namespace ventaro
