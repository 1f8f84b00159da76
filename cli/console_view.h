// What the windowed program shows, shown on a console instead.
//
// How it works:
// - ConsoleView is the TerminalView of ventaro-cli. Terminal text goes to
//   standard error, or to standard output while a one-key command waits for
//   its answer (that text is the command's result). Windows-1252 bytes are
//   decoded and every line end (CR LF, CR, LF) becomes one "\n".
// - Status panel 2 is the progress line. On a terminal it is redrawn in
//   place with "\r" and erased around other output; elsewhere (a pipe, a log
//   file) each new text is a line of its own. Panels 0 and 1 are not shown.
// - ConsoleUi is the UiServices: a message box is a line on standard error
//   with its exact text, the Yes/No question is answered from --yes, both
//   file dialogs return the FILE argument, the beep and the cursor do
//   nothing, and a pass of the event loop is QCoreApplication's.
// - --quiet silences terminal text and progress, never a message.
// Everything runs on the main thread; the output goes through Sinks so that
// tests can read back exactly what was written.
#pragma once

#include "platform/ui_services.h"
#include "serial/terminal_view.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <string>
#include <string_view>

namespace ventaro::cli {

struct Sink {
    std::function<void(const QByteArray&)> write;
    bool terminal = false;  // a terminal: the progress line is redrawn in place
};

// Standard output or standard error (1 or 2).
Sink FdSink(int fd);

// Windows-1252 terminal text to local text with "\n" line ends. A CR LF pair
// split between two calls is still one line end.
class ConsoleText {
  public:
    QByteArray Next(std::string_view bytes);

  private:
    bool afterCr_ = false;
};

class ConsoleView : public TerminalView {
  public:
    ConsoleView(Sink err, Sink out, bool quiet);

    void MoveCaretToEnd() override {}
    void ShowText(std::string_view bytes, bool repaint) override;
    void ShowReceivedText(std::string_view bytes) override;
    void SetPanel(int panel, const QString& text) override;
    void SetTerminalEnabled(bool) override {}
    void FocusTerminal() override {}
    plat::FileRequest& OpenDialogRequest() override { return openRequest_; }
    plat::FileRequest& SaveDialogRequest() override { return saveRequest_; }

    // A line on standard error whatever --quiet says.
    void Message(const QString& text);
    // On: terminal text goes to standard output and is kept for Answer().
    void SetAnswerMode(bool on);
    const std::string& Answer() const { return answer_; }
    // Leaves the console tidy: no progress line, the cursor at a line start.
    void Finish();

  private:
    void Terminal(std::string_view bytes);
    void ShowProgress();
    void EraseProgress();
    void EndLine();

    Sink err_;
    Sink out_;
    bool quiet_;
    bool answerMode_ = false;
    std::string answer_;
    ConsoleText errText_;
    ConsoleText outText_;
    QString progress_;     // the current progress text, empty when none
    QString lastPrinted_;  // the last progress line printed (not on a terminal)
    bool progressShown_ = false;
    bool midLine_ = false;     // standard error's last text did not end a line
    bool outMidLine_ = false;  // the same for standard output
    plat::FileRequest openRequest_;
    plat::FileRequest saveRequest_;
};

class ConsoleUi : public plat::UiServices {
  public:
    ConsoleUi(ConsoleView& view, QString file, bool yes);

    plat::Answer MessageBox(const QString& text, bool yesNo) override;
    void ErrorBox(const QString& text) override;
    std::optional<QString> OpenFileName(const plat::FileRequest& request) override;
    std::optional<QString> SaveFileName(const plat::FileRequest& request) override;
    std::optional<QFont> ChooseFont(const QFont&, int, int) override { return std::nullopt; }
    void Beep() override {}
    void SetCursor(plat::ScreenCursor) override {}
    void ProcessEvents() override;

  private:
    ConsoleView& view_;
    QString file_;
    bool yes_;
};

}  // namespace ventaro::cli
