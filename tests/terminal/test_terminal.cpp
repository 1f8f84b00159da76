// The windowed program against the simulator: start-up, the terminal's
// display, typed keys, the close paths and a vanishing device.
#include "serial/serial_state.h"
#include "tests/support/app_harness.h"

#include <QApplication>
#include <QClipboard>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/resource.h>

namespace ventaro::testing {
namespace {

std::vector<uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

class Terminal : public ::testing::Test {
  protected:
    void StartApp(brenvix::SimConfig config = {}) {
        app_ = std::make_unique<AppHarness>(std::move(config));
        app_->Start();
        ASSERT_TRUE(app_->sim.WaitForReceived(1, 5s));
    }
    // Waits for the terminal to end with the given text.
    bool TerminalEndsWith(const QString& tail) {
        return WaitUntil([&] { return app_->TerminalText().endsWith(tail); }, 5s);
    }
    std::unique_ptr<AppHarness> app_;
};

TEST_F(Terminal, StartUpOpensCom2AndSendsTheBreakIn) {
    StartApp();
    EXPECT_EQ(app_->sim.ReceivedBytes(), std::vector<uint8_t>{0x03});
    EXPECT_EQ(app_->Panel(0), "COM2");
    EXPECT_EQ(app_->Panel(1), "9600,N,8,1");
    EXPECT_TRUE(app_->ui->messages.empty());
    EXPECT_EQ(app_->form->windowTitle(), "Ventaro");
    EXPECT_FALSE(app_->form->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
}

struct ShowCase {
    const char* name;
    std::string sent;
    bool hex;
    QString shown;
};

class TerminalShows : public Terminal, public ::testing::WithParamInterface<ShowCase> {};

TEST_P(TerminalShows, WhatTheInstrumentSends) {
    StartApp();
    if (GetParam().hex) {
        app_->form->Hex->trigger();
    }
    app_->sim.Send(Bytes(GetParam().sent + "#"));
    const QString end = GetParam().hex ? QStringLiteral("[23]") : QStringLiteral("#");
    ASSERT_TRUE(TerminalEndsWith(end)) << app_->TerminalText().toStdString();
    QString text = app_->TerminalText();
    text.chop(end.size());
    EXPECT_EQ(text, GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, TerminalShows,
    ::testing::Values(
        ShowCase{"CrLfIsOneBreak", "A\r\nB", false, "A\nB"},
        ShowCase{"LoneLfVanishes", "A\nB", false, "AB"},
        ShowCase{"LoneCrBreaks", "A\rB", false, "A\nB"},
        ShowCase{"DegreeSignShown", "20\xDF", false, QString::fromUtf8("20\xC3\x9F")},
        ShowCase{"Windows1252", "\x80\x81", false, QString::fromUtf8("\xE2\x82\xAC\xC2\x81")},
        ShowCase{"HexLine", "0123456789ABCD", true,
                 "[30][31][32][33][34][35][36][37][38][39][41][42][43][44]"},
        ShowCase{"HexBreaksAfterSixteen", "0123456789ABCDEF", true,
                 "[30][31][32][33][34][35][36][37][38][39][41][42][43][44][45][46]\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Terminal, HexColumnIsKeptAcrossAViewChange) {
    StartApp();
    app_->form->Hex->trigger();
    app_->sim.Send(Bytes("12345678"));
    ASSERT_TRUE(TerminalEndsWith("[38]"));
    app_->form->Normal->trigger();
    app_->sim.Send(Bytes("x"));
    ASSERT_TRUE(TerminalEndsWith("x"));
    app_->form->Hex->trigger();
    app_->sim.Send(Bytes("ABCDEFGH"));
    ASSERT_TRUE(TerminalEndsWith("[41][42][43][44][45][46][47][48]\n"));
    // Normal and Hex click while already checked change nothing.
    app_->form->HexClick();
    EXPECT_TRUE(app_->form->Hex->isChecked());
    EXPECT_FALSE(app_->form->Normal->isChecked());
    EXPECT_EQ(HexView.load(), 1);
}

TEST_F(Terminal, KeepsToAboutTwoHundredFiftyLines) {
    StartApp();
    app_->form->WordWrapClick();  // lines are paragraphs without wrap
    std::string lines;
    for (int i = 0; i < 400; ++i) {
        lines += "line " + std::to_string(i) + "\r\n";
    }
    for (size_t at = 0; at < lines.size(); at += 500) {
        app_->sim.Send(Bytes(std::string_view(lines).substr(at, 500)));
        ASSERT_TRUE(app_->sim.WaitFor([&] { return app_->sim.BytesSent() >= at; }, 5s));
        QCoreApplication::processEvents();
    }
    app_->sim.Send(Bytes("end"));
    ASSERT_TRUE(TerminalEndsWith("line 399\nend"));
    // Each displayed block trims at most once, so one block's lines may stand above 250.
    EXPECT_LE(app_->form->Memo1->LineCount(), 250 + 60);
    EXPECT_GE(app_->form->Memo1->LineCount(), 200);
}

TEST_F(Terminal, LongStreamWithoutBreaksStaysBoundedAndAppendsAtTheEnd) {
    StartApp();
    std::string chunk(1500, 'x');
    for (int i = 0; i < 30; ++i) {
        chunk.back() = char('A' + i % 26);
        app_->sim.Send(Bytes(chunk));
        ASSERT_TRUE(TerminalEndsWith(QString(QChar('A' + i % 26))));
    }
    EXPECT_LE(app_->TerminalText().size(), 30000);
    // Whatever the user did with the caret, new text lands at the end.
    QTextCursor cursor = app_->form->Memo1->textCursor();
    cursor.setPosition(10);
    app_->form->Memo1->setTextCursor(cursor);
    app_->sim.Send(Bytes("TAIL"));
    EXPECT_TRUE(TerminalEndsWith("TAIL"));
}

TEST_F(Terminal, TypedKeysGoToTheInstrument) {
    StartApp();
    TMemo* memo = app_->form->Memo1;
    memo->setFocus();
    QTest::keyClicks(memo, "ab");
    QTest::keyClick(memo, Qt::Key_Return);
    QTest::keyClick(memo, Qt::Key_C, Qt::ControlModifier);
    ASSERT_TRUE(app_->sim.WaitForReceived(5, 5s));
    EXPECT_EQ(app_->sim.ReceivedBytes(), (std::vector<uint8_t>{0x03, 'a', 'b', 0x0D, 0x03}));
    EXPECT_TRUE(memo->Text().startsWith("ab"));
}

TEST_F(Terminal, QuestionMarkAndCtrlBBeepAndSendNothing) {
    StartApp();
    TMemo* memo = app_->form->Memo1;
    QTest::keyClick(memo, Qt::Key_Question, Qt::ShiftModifier);
    QTest::keyClick(memo, Qt::Key_B, Qt::ControlModifier);
    QTest::keyClick(memo, Qt::Key_Z);
    ASSERT_TRUE(app_->sim.WaitForReceived(2, 5s));
    EXPECT_EQ(app_->sim.ReceivedBytes(), (std::vector<uint8_t>{0x03, 'z'}));
    EXPECT_EQ(app_->ui->beeps, 2);
    EXPECT_EQ(memo->Text(), "z");
}

TEST_F(Terminal, MenuShortcutsWinOverTheEditor) {
    StartApp();
    TMemo* memo = app_->form->Memo1;
    QApplication::clipboard()->setText("pasted");
    memo->setFocus();
    app_->form->activateWindow();
    QTest::keyClick(memo, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(memo, Qt::Key_X, Qt::ControlModifier);
    QTest::keyClick(memo, Qt::Key_O, Qt::ControlModifier);
    ASSERT_TRUE(app_->sim.WaitForReceived(4, 5s));
    auto received = app_->sim.ReceivedBytes();
    EXPECT_EQ(std::vector<uint8_t>(received.begin(), received.begin() + 4),
              (std::vector<uint8_t>{0x03, 0x16, 0x18, 0x0F}));
    EXPECT_FALSE(memo->Text().contains("pasted"));
}

TEST_F(Terminal, CopyFollowsTheSelectionAndClearDisablesIt) {
    StartApp();
    app_->sim.Send(Bytes("hello"));
    ASSERT_TRUE(TerminalEndsWith("hello"));
    TMemo* memo = app_->form->Memo1;
    memo->selectAll();
    app_->form->Memo1KeyUp();
    EXPECT_TRUE(app_->form->MenuCopy->isEnabled());
    EXPECT_TRUE(app_->form->PopCopy->isEnabled());
    app_->form->MenuCopyClick();
    EXPECT_EQ(QApplication::clipboard()->text(), "hello");
    app_->form->Clear1Click();
    EXPECT_TRUE(memo->Text().isEmpty());
    EXPECT_FALSE(app_->form->MenuCopy->isEnabled());
    EXPECT_FALSE(app_->form->PopCopy->isEnabled());
}

TEST_F(Terminal, WordWrapTogglesWrapAndScrollBars) {
    StartApp();
    TMemo* memo = app_->form->Memo1;
    EXPECT_TRUE(app_->form->WordWrap->isChecked());
    app_->form->WordWrap->trigger();
    EXPECT_FALSE(app_->form->WordWrap->isChecked());
    EXPECT_EQ(memo->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(memo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    app_->form->WordWrap->trigger();
    EXPECT_TRUE(app_->form->WordWrap->isChecked());
    EXPECT_EQ(memo->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_EQ(memo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

TEST_F(Terminal, FontDialogSizeIsKeptWithinFiveToEighteen) {
    StartApp();
    QFont big(QStringLiteral("DejaVu Sans Mono"), 40);
    app_->ui->font = big;
    app_->form->Font1Click();
    EXPECT_EQ(app_->form->Memo1->font().pointSize(), 18);
    app_->ui->font.reset();
    app_->form->Font1Click();  // cancelled: nothing changes
    EXPECT_EQ(app_->form->Memo1->font().pointSize(), 18);
}

TEST_F(Terminal, PortThatCannotBeOpenedIsReported) {
    app_ = std::make_unique<AppHarness>();
    app_->PointCom2(app_->home.Path("no-such-device"));
    app_->Start();
    ASSERT_EQ(app_->ui->messages.size(), 1u);
    EXPECT_EQ(app_->ui->messages[0].text,
              "Unable to open COM port.\r\nThe port may be in use or does not exist on your "
              "machine.");
    EXPECT_FALSE(app_->ui->messages[0].yesNo);
    EXPECT_EQ(app_->Panel(0), " ");
    EXPECT_EQ(CommHandle.load(), plat::kNoPort);
    EXPECT_EQ(PortReady.load(), 0);
    EXPECT_TRUE(app_->form->isVisible());
    // A one-key command with no port sends nothing and shows nothing.
    app_->form->GetFirmwareVersion1Click();
    EXPECT_EQ(app_->sim.ReceivedBytes().size(), 0u);
}

TEST_F(Terminal, ClosingGivesThePortItsTimeoutsBack) {
    app_ = std::make_unique<AppHarness>();
    const plat::CommTimeouts before{7, 0, 9, 0, 11};
    {
        auto port = plat::OpenPort(app_->device.toStdString(), nullptr);
        ASSERT_NE(port, plat::kNoPort);
        plat::SetCommTimeouts(port, before);
        plat::ClosePort(port);
    }
    app_->Start();
    ASSERT_TRUE(app_->sim.WaitForReceived(1, 5s));
    EXPECT_EQ(plat::DeviceTimeouts(app_->device.toStdString()).readTotalTimeoutConstant, 50u);
    app_->form->close();
    EXPECT_FALSE(app_->form->isVisible());
    EXPECT_EQ(ReadThread, nullptr);
    EXPECT_EQ(plat::DeviceTimeouts(app_->device.toStdString()), before);
    // The port is free again.
    auto port = plat::OpenPort(app_->device.toStdString(), nullptr);
    EXPECT_NE(port, plat::kNoPort);
    plat::ClosePort(port);
}

double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

TEST_F(Terminal, VanishedDeviceLeavesTheWindowUsableWithoutSpinning) {
    StartApp();
    app_->sim.Hangup();
    const double before = CpuSeconds();
    WaitUntil([] { return false; }, 1s);
    // A spinning reader would burn most of this second.
    EXPECT_LT(CpuSeconds() - before, 0.5);
    app_->form->GetFirmwareVersion1Click();
    app_->form->Clear1Click();
    QTest::keyClicks(app_->form->Memo1, "q");
    app_->form->close();
    EXPECT_EQ(ReadThread, nullptr);
}

TEST_F(Terminal, ExitLeavesWithoutTheClosePathButStopsTheThread) {
    StartApp();
    app_->form->Exit1Click();
    app_->Close();  // what the process entry does once the loop has returned
    EXPECT_EQ(ReadThread, nullptr);
    // The port's time-outs were not given back: the close path did not run.
    EXPECT_EQ(plat::DeviceTimeouts(app_->device.toStdString()).readTotalTimeoutConstant, 50u);
}

TEST_F(Terminal, CaptureOnTheThreadSideWritesTheFileWhenTheLineFallsSilent) {
    StartApp();
    const QString path = app_->home.Path("capture.pgm");
    CaptureFile = std::fopen(path.toLocal8Bit().constData(), "wb");
    ASSERT_NE(CaptureFile, nullptr);
    CaptureBuffer.clear();
    BytesReceived = 0;
    app_->form->Memo1->setEnabled(false);
    CaptureMode = CaptureKind::ProgramCapture;
    app_->sim.Send(Bytes("10 PRINT\n\r20 END\r\n"));
    ASSERT_TRUE(WaitUntil([] { return CaptureMode.load() == CaptureKind::Terminal; }, 5s));
    ASSERT_TRUE(WaitUntil([&] { return app_->form->Memo1->isEnabled(); }, 5s));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("10 PRINT\r\n20 END\r\n\0", 19));
    EXPECT_EQ(app_->Panel(2), " ");
    EXPECT_TRUE(app_->TerminalText().endsWith("10 PRINT\n20 END\n"));
    EXPECT_TRUE(WaitUntil([&] { return app_->ui->beeps == 1; }, 5s));
}

TEST_F(Terminal, ClosingDuringACaptureKeepsWhatWasReceived) {
    StartApp();
    const QString path = app_->home.Path("partial.pgm");
    CaptureFile = std::fopen(path.toLocal8Bit().constData(), "wb");
    CaptureBuffer.clear();
    BytesReceived = 0;
    CaptureMode = CaptureKind::AsciiCapture;  // waits long for silence
    app_->sim.Send(Bytes("PART\r"));
    ASSERT_TRUE(WaitUntil([] { return BytesReceived.load() >= 5; }, 5s));
    app_->form->close();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("PART\r\n\0", 7));
}

}  // namespace
}  // namespace ventaro::testing

int main(int argc, char** argv) {
    return ventaro::testing::RunWindowedTests(argc, argv, false);
}
