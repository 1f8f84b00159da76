// The console view: terminal text, the progress line and messages, as
// written to a terminal and to a log.
#include "cli/console_view.h"

#include <gtest/gtest.h>

#include <string>

namespace ventaro::cli {
namespace {

struct Captured {
    QByteArray err, out;
    ConsoleView View(bool terminal, bool quiet = false) {
        return ConsoleView(Sink{[this](const QByteArray& b) { err += b; }, terminal},
                           Sink{[this](const QByteArray& b) { out += b; }, false}, quiet);
    }
};

TEST(ConsoleText, EveryLineEndBecomesOneNewlineWhateverTheChunks) {
    // CR LF, LF CR, lone CR, lone LF; a CR LF split between chunks; 0xB0 and
    // 0xDF from the instrument's code page.
    const std::string input = "A\r\nB\n\rC\rD\nE\xB0\xDF\r";
    const QByteArray want = QByteArray("A\nB\n\nC\nD\nE") + "\xC2\xB0\xC3\x9F\n";
    ConsoleText whole;
    EXPECT_EQ(whole.Next(input), want);
    ConsoleText bytewise;
    QByteArray got;
    for (char c : input) {
        got += bytewise.Next(std::string_view(&c, 1));
    }
    EXPECT_EQ(got, want);
}

TEST(ConsoleView, LogGetsOneLinePerProgressChangeAndNeverCutsALine) {
    Captured c;
    ConsoleView view = c.View(false);
    // A send: the echo comes a byte at a time, the progress after each byte.
    const std::string echo = "10 A\r\n20 B\r\n";
    int n = 0;
    for (char ch : echo) {
        view.ShowText(std::string_view(&ch, 1), false);
        view.SetPanel(2, QStringLiteral("Sending File... %1%").arg(++n / 7 * 50));
    }
    view.SetPanel(2, QStringLiteral(" "));
    view.SetPanel(0, QStringLiteral("COM2"));
    EXPECT_EQ(c.err, "10 A\nSending File... 0%\n20 B\nSending File... 50%\n");
    EXPECT_TRUE(c.out.isEmpty());
}

TEST(ConsoleView, TerminalRedrawsTheProgressLineInPlace) {
    Captured c;
    ConsoleView view = c.View(true);
    view.ShowText("BLOCK 1\r\n", true);
    view.SetPanel(2, QStringLiteral("Record: 6 of 300  Errors: 0"));
    view.ShowText("BLOCK 2\r\n", true);
    view.SetPanel(2, QStringLiteral("Record: 12 of 300  Errors: 0"));
    view.Message(QStringLiteral("Two\r\nlines"));
    view.SetPanel(2, QStringLiteral(" "));
    EXPECT_EQ(c.err,
              "BLOCK 1\n"
              "\rRecord: 6 of 300  Errors: 0\x1b[K"
              "\r\x1b[K"
              "BLOCK 2\n"
              "\rRecord: 6 of 300  Errors: 0\x1b[K"
              "\rRecord: 12 of 300  Errors: 0\x1b[K"
              "\r\x1b[K"
              "Two\nlines\n"
              "\rRecord: 12 of 300  Errors: 0\x1b[K"
              "\r\x1b[K");
}

TEST(ConsoleView, QuietKeepsMessagesOnly) {
    Captured c;
    ConsoleView view = c.View(true, true);
    view.ShowText("BLOCK 1\r\n", true);
    view.ShowReceivedText("noise");
    view.SetPanel(2, QStringLiteral("Record: 6 of 300  Errors: 0"));
    view.Message(QStringLiteral("The Brenvix is not responding"));
    view.Finish();
    EXPECT_EQ(c.err, "The Brenvix is not responding\n");
}

TEST(ConsoleView, AnswerGoesToStandardOutputEvenWhenQuiet) {
    Captured c;
    ConsoleView view = c.View(false, true);
    view.SetAnswerMode(true);
    view.ShowReceivedText("EXIT USER PROGRAM (Y/N) ? ");
    view.ShowReceivedText("Y\r");
    view.ShowReceivedText("\nUSER PROGRAM EXITED.");
    view.SetAnswerMode(false);
    view.ShowReceivedText("later\r\n");
    view.Finish();
    EXPECT_EQ(c.out, "EXIT USER PROGRAM (Y/N) ? Y\nUSER PROGRAM EXITED.\n");
    EXPECT_EQ(view.Answer(), "EXIT USER PROGRAM (Y/N) ? Y\r\nUSER PROGRAM EXITED.");
    EXPECT_TRUE(c.err.isEmpty());
}

TEST(ConsoleUi, QuestionIsAnsweredFromYesAndFilesAreTheArgument) {
    for (bool yes : {false, true}) {
        Captured c;
        ConsoleView view = c.View(false);
        ConsoleUi ui(view, QStringLiteral("records.txt"), yes);
        EXPECT_EQ(ui.MessageBox(QStringLiteral("In OPERATE MODE.\r\nExit?"), true),
                  yes ? plat::Answer::Yes : plat::Answer::No);
        EXPECT_TRUE(c.err.startsWith("In OPERATE MODE.\nExit?\n")) << c.err.toStdString();
        EXPECT_EQ(ui.MessageBox(QStringLiteral("Windows cannot open file."), false),
                  plat::Answer::Ok);
        EXPECT_TRUE(c.err.endsWith("\nWindows cannot open file.\n"));
        EXPECT_EQ(ui.SaveFileName({}), QStringLiteral("records.txt"));
        EXPECT_EQ(ui.OpenFileName({}), QStringLiteral("records.txt"));
    }
}

}  // namespace
}  // namespace ventaro::cli
