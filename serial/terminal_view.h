// What the link and the transfers need of whatever shows the terminal: the
// main window, or the command-line tool's standard error.
//
// Every call comes from the main thread (the receive thread hands its work
// over first). With no view installed, output goes nowhere.
#pragma once

#include "platform/ui_services.h"

#include <QString>

#include <string_view>

namespace ventaro {

class TerminalView {
  public:
    virtual ~TerminalView() = default;
    virtual void MoveCaretToEnd() = 0;
    // Windows-1252 text at the caret; repainted at once when asked.
    virtual void ShowText(std::string_view bytes, bool repaint) = 0;
    // A block from the line: the terminal keeps its size bounded first.
    virtual void ShowReceivedText(std::string_view bytes) = 0;
    virtual void SetPanel(int panel, const QString& text) = 0;
    virtual void SetTerminalEnabled(bool enabled) = 0;
    virtual void FocusTerminal() = 0;
    virtual plat::FileRequest& OpenDialogRequest() = 0;
    virtual plat::FileRequest& SaveDialogRequest() = 0;
};

TerminalView* View();
void SetView(TerminalView* view);

// Set once the program has been told to end (window closed, File > Exit, or
// an interrupt of the command-line tool); long loops stop at their next pass.
bool ApplicationTerminated();
void SetApplicationTerminated(bool terminated = true);

}  // namespace ventaro
