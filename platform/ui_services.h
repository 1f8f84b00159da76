// The few things the program asks of the desktop: message boxes, file and
// font dialogs, the beep, the screen cursor and a pass of the event loop.
//
// They sit behind one interface so that tests can script the answers and read
// back what was shown: no test ever blocks on a real modal dialog. The
// desktop implementation is installed at start; a test installs its own
// before it creates the main window.
#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace ventaro::plat {

enum class Answer { Ok, Yes, No };
enum class ScreenCursor { Default, Hourglass };

struct FileRequest {
    QString title;
    QString initialDirectory;       // empty: the process's current directory
    QStringList filters;            // "All Files (*.*)", ...
    bool mustExist = false;         // open dialog
    bool confirmOverwrite = false;  // save dialog
};

class UiServices {
  public:
    virtual ~UiServices() = default;
    // Caption "Ventaro", no icon; OK only, or Yes and No.
    virtual Answer MessageBox(const QString& text, bool yesNo) = 0;
    // The box an escaped error is shown in (error icon, OK).
    virtual void ErrorBox(const QString& text) = 0;
    virtual std::optional<QString> OpenFileName(const FileRequest& request) = 0;
    virtual std::optional<QString> SaveFileName(const FileRequest& request) = 0;
    virtual std::optional<QFont> ChooseFont(const QFont& current, int minPoints, int maxPoints) = 0;
    virtual void Beep() = 0;
    virtual void SetCursor(ScreenCursor cursor) = 0;
    virtual void ProcessEvents() = 0;
};

UiServices& Ui();
// Takes ownership; a null pointer brings back the desktop implementation.
void SetUi(std::unique_ptr<UiServices> services);
std::unique_ptr<UiServices> MakeDesktopUi();

}  // namespace ventaro::plat
