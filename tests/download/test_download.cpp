// Get Records over a pseudo-terminal against the simulator: the file
// written, the lines shown, the bytes the instrument received, recovery from
// line faults and the give-up rules.
#include "serial/serial_state.h"
#include "tests/commands/commands_fixture.h"

#include <cmath>
#include <cstdio>

namespace ventaro::testing {
namespace {

// The records text file for a set the instrument holds, written out here
// independently of the program's own writer.
QByteArray ExpectedFile(const brenvix::RecordsSet& set) {
    const int fields = set.fieldsPerRecord;
    QByteArray out;
    out += QByteArray::fromStdString(set.title1) + "\r\n" + QByteArray::fromStdString(set.title2) +
           "\r\n";
    out += "NUMBER OF RECORDS: " + QByteArray::number(set.totalValues / fields) + "\r\n";
    out += "FIELDS PER RECORD: " + QByteArray::number(fields) + "\r\n\r\n";
    for (const auto* row : {&set.labels1, &set.labels2}) {
        for (int f = 0; f < fields; ++f) {
            out += " " + QByteArray::fromStdString((*row)[size_t(f)]);
        }
        out += "\r\n";
    }
    for (int v = 0; v < set.totalValues; ++v) {
        const int f = v % fields;
        char text[64];
        std::snprintf(text, sizeof text, "%*.*f", set.widths[size_t(f)], set.precisions[size_t(f)],
                      double(set.values[size_t(v)]));
        QByteArray value(text);
        if (value.size() > set.widths[size_t(f)]) {
            value = QByteArray(std::min<int>(set.widths[size_t(f)], 12), '*');
        }
        out += (f == 0 ? "\r\n " : " ") + value;
    }
    return out + "\r\n";
}

class Download : public Transfers {
  protected:
    QString Get(const QString& name = "records.txt") {
        const QString path = app_->home.Path(name);
        app_->ui->files.push_back(path);
        app_->form->GetRecords1Click();
        return path;
    }
    bool Received(std::initializer_list<uint8_t> tail) {
        auto sent = Sent();
        std::vector<uint8_t> want(tail);
        return sent.size() >= want.size() &&
               std::equal(want.begin(), want.end(), sent.end() - ptrdiff_t(want.size()));
    }
};

TEST_F(Download, CleanDownloadWritesTheRecordsFile) {
    brenvix::SimConfig config;
    StartApp(config);
    const QString path = Get();
    EXPECT_EQ(ReadFile(path), ExpectedFile(config.records));
    const QString text = app_->TerminalText();
    EXPECT_TRUE(
        text.contains("BRENVIX SITE 12\nHOURLY MEANS\nNUMBER OF RECORDS: 300\nFIELDS PER "
                      "RECORD: 5\n"));
    EXPECT_TRUE(text.contains("BLOCK 1\n"));
    EXPECT_TRUE(text.endsWith("BLOCK 53\nRECORDS RECEIVED: 300 of 300\n"))
        << text.right(80).toStdString();
    EXPECT_TRUE(panelTexts_.contains("Record: 300 of 300  Errors: 0"));
    EXPECT_EQ(app_->Panel(2), " ");
    // Break-in, the request, the first NAK; then one ACK per block, the EOT's and the last.
    auto sent = Sent();
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(std::vector<uint8_t>(sent.begin(), sent.begin() + 3),
              (std::vector<uint8_t>{0x03, 0x02, 0x15}));
    EXPECT_EQ(std::count(sent.begin(), sent.end(), uint8_t(0x06)), 53 + 1);
    EXPECT_TRUE(app_->form->Memo1->isEnabled());
    EXPECT_EQ(plat::DeviceTimeouts(app_->device.toStdString()).readTotalTimeoutConstant, 50u);
    // The terminal is live again.
    app_->sim.Send(Bytes("after"));
    EXPECT_TRUE(WaitUntil([&] { return app_->TerminalText().endsWith("after"); }));
}

TEST_F(Download, BlockNumbersWrapPastTwoHundredFiftyFive) {
    brenvix::SimConfig config;
    config.records = brenvix::LargeDemoRecords();
    StartApp(config);
    const QString path = Get();
    EXPECT_EQ(ReadFile(path), ExpectedFile(config.records));
    EXPECT_TRUE(app_->TerminalText().contains("BLOCK 256\nBLOCK 257\n"));
    EXPECT_TRUE(app_->TerminalText().endsWith("RECORDS RECEIVED: 1200 of 1200\n"));
}

struct FaultCase {
    const char* name;
    brenvix::Fault fault;
    int ordinal;
    const char* shownLine;  // a line the terminal must show, or ""
    bool sameFile;          // the file equals the clean download's
};

class Faults : public Download, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(Faults, RecoverOrEndAsTheyShould) {
    const FaultCase& c = GetParam();
    brenvix::SimConfig config;
    config.faults[c.ordinal] = c.fault;
    StartApp(config);
    const QString path = Get();
    const QString text = app_->TerminalText();
    if (*c.shownLine) {
        EXPECT_TRUE(text.contains(c.shownLine)) << text.toStdString();
    }
    if (c.sameFile) {
        const QByteArray written = ReadFile(path);
        const QByteArray expected = ExpectedFile(config.records);
        EXPECT_EQ(written.size(), expected.size());
        EXPECT_TRUE(written == expected) << text.right(400).toStdString();
        EXPECT_TRUE(text.endsWith("RECORDS RECEIVED: 300 of 300\n"));
    }
    EXPECT_TRUE(Received({0x06}));  // every ending acknowledges
}

using brenvix::Fault;
INSTANTIATE_TEST_SUITE_P(
    Kinds, Faults,
    ::testing::Values(
        FaultCase{"Dropped", Fault::Drop, 9,
                  "Not enough characters... 8 8 0\nClear buffer and retry.\n", true},
        FaultCase{"DroppedHeader", Fault::Drop, 1, "Not enough characters... 0 0 0\n", true},
        FaultCase{"BadChecksum", Fault::BadChecksum, 7, "", true},
        FaultCase{"BadComplement", Fault::BadComplement, 3, "", true},
        FaultCase{"WrongNumber", Fault::WrongNumber, 10,
                  "Packet Error... Block count mismatch 9 11 132\n", true},
        FaultCase{"Duplicate", Fault::Duplicate, 8, "", true},
        FaultCase{"Short", Fault::Short, 12, "", true},
        FaultCase{"Noise", Fault::Noise, 20, "", true},
        FaultCase{"Stall", Fault::Stall, 15, "Not enough characters... 14 14 0\n", true},
        FaultCase{"LostAck", Fault::LostAck, 11, "", true},
        FaultCase{"LostAckOnALayoutBlock", Fault::LostAck, 2, "", true},
        FaultCase{"EarlyEot", Fault::EarlyEot, 10, "RECORDS RECEIVED: 20 of 300\n", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Download, EotFirstLeavesOnlyTheClosingLine) {
    brenvix::SimConfig config;
    config.scriptedReplies[0x02] = {"SENDING RECORDS NOW...\r\n"};
    config.scriptedReplies[0x15] = {"\x04"};
    StartApp(config);
    const QString path = Get();
    EXPECT_EQ(ReadFile(path), "\r\n");
    EXPECT_TRUE(app_->TerminalText().endsWith("RECORDS RECEIVED: 0 of 0\n"));
}

TEST_F(Download, GivesUpAfterElevenPacketErrors) {
    brenvix::SimConfig config;
    config.scriptedReplies[0x02] = {"SENDING RECORDS NOW...\r\n"};
    config.scriptedReplies[0x15] = std::vector<std::string>(11, "JUNK");
    StartApp(config);
    const QString path = Get();
    app_->sim.WaitForReceived(1 + 3 + 10 + 2, 5s);
    // The first NAK and ten more after the first ten errors, then 0x03 and ACK.
    std::vector<uint8_t> want{0x03, 0x02};
    want.insert(want.end(), 11, 0x15);
    want.insert(want.end(), {0x03, 0x06});
    EXPECT_EQ(Sent(), want);
    EXPECT_EQ(ReadFile(path), "\r\n");
    EXPECT_EQ(app_->ui->beeps, 11 + 1);
    EXPECT_TRUE(panelTexts_.contains("Record: 0 of 0  Errors: 10"));
}

TEST_F(Download, GivesUpAfterTenEmptyReads) {
    brenvix::SimConfig config;
    config.scriptedReplies[0x02] = {"SENDING RECORDS NOW...\r\n"};
    config.scriptedReplies[0x15] = std::vector<std::string>(20, "");
    StartApp(config);
    Get();
    app_->sim.WaitForReceived(1 + 2 + 10 + 2, 5s);
    std::vector<uint8_t> want{0x03, 0x02};
    want.insert(want.end(), 10, 0x15);
    want.insert(want.end(), {0x03, 0x06});
    EXPECT_EQ(Sent(), want);
    EXPECT_EQ(app_->TerminalText().count("Clear buffer and retry."), 10);
}

TEST_F(Download, RefusalsKeepAnExistingFile) {
    for (bool busy : {true, false}) {
        brenvix::SimConfig config;
        config.busy = busy;
        config.answerRecordsRequest = false;
        app_.reset();
        StartApp(config);
        const QString path = app_->home.Path("keep.txt");
        WriteFile(path, "precious");
        Get("keep.txt");
        EXPECT_EQ(ReadFile(path), "precious");
        EXPECT_EQ(Messages(),
                  QStringList(busy ? "You cannot Get Records while\r\nthe Brenvix is sending "
                                     "serial data."
                                   : "The Brenvix is not responding"));
        EXPECT_EQ(app_->ui->cursor, plat::ScreenCursor::Default);
    }
}

TEST_F(Download, ClosingTheWindowMidwayKeepsWhatWasStored) {
    brenvix::SimConfig config;
    config.baud = 9600;  // slow enough to close in the middle
    StartApp(config);
    QObject::connect(app_->form->StatusBar1, &TStatusBar::PanelChanged, app_->form,
                     [this](int panel, const QString& text) {
                         if (panel == 2 && text.startsWith("Record: 20 ")) {
                             app_->form->close();
                         }
                     });
    const QString path = Get();
    EXPECT_FALSE(app_->form->isVisible());
    EXPECT_EQ(ReadThread, nullptr);
    const QByteArray file = ReadFile(path);
    EXPECT_TRUE(file.startsWith(ExpectedFile(config.records).left(file.size())));
    EXPECT_FALSE(file.endsWith("\r\n"));  // no closing line
}

TEST_F(Download, OtherCommandsWaitWhileTheDownloadRuns) {
    brenvix::SimConfig config;
    config.baud = 38400;
    StartApp(config);
    bool tried = false;
    QObject::connect(app_->form->StatusBar1, &TStatusBar::PanelChanged, app_->form,
                     [this, &tried](int panel, const QString& text) {
                         if (panel == 2 && text.startsWith("Record: 13 ") && !tried) {
                             tried = true;
                             app_->form->GetFirmwareVersion1Click();
                             app_->form->GetPgm1Click();
                         }
                     });
    Get();
    EXPECT_TRUE(tried);
    EXPECT_EQ(Messages().size(), 2);
    auto sent = Sent();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), uint8_t(0x16)), 0);
    EXPECT_TRUE(app_->TerminalText().endsWith("RECORDS RECEIVED: 300 of 300\n"));
}

}  // namespace
}  // namespace ventaro::testing

int main(int argc, char** argv) {
    return ventaro::testing::RunWindowedTests(argc, argv, false);
}
