// The main window: terminal, status bar, main and pop-up menus, and the
// handlers that act on the window itself (view, edit, exit, dialogs).
// Handlers of the instrument commands and transfers live with those
// commands; the window only binds them.
#pragma once

#include "app/memo.h"
#include "app/status_bar.h"
#include "platform/ui_services.h"
#include "serial/terminal_view.h"

#include <QMainWindow>

class QAction;
class QMenu;

namespace ventaro {

class TMainForm : public QMainWindow, public TerminalView {
    Q_OBJECT
  public:
    TMainForm();
    ~TMainForm() override;

    void FormCreate();
    // False when the close was refused (the settings could not be saved).
    bool FormClose();

    // Brings the window forward for a second start of the program.
    void RestoreAndRaise();

    // The terminal as the link and the transfers see it.
    void MoveCaretToEnd() override { Memo1->MoveCaretToEnd(); }
    void ShowText(std::string_view bytes, bool repaint) override;
    void ShowReceivedText(std::string_view bytes) override;
    void SetPanel(int panel, const QString& text) override {
        StatusBar1->SetPanelText(panel, text);
    }
    void SetTerminalEnabled(bool enabled) override { Memo1->setEnabled(enabled); }
    void FocusTerminal() override;
    plat::FileRequest& OpenDialogRequest() override { return OpenDialog; }
    plat::FileRequest& SaveDialogRequest() override { return SaveDialog; }

    TMemo* Memo1 = nullptr;
    TStatusBar* StatusBar1 = nullptr;
    plat::FileRequest OpenDialog;
    plat::FileRequest SaveDialog;
    static constexpr int kFontMinPoints = 5;
    static constexpr int kFontMaxPoints = 18;

    QMenu* MainMenuFile = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction *GetRecords1, *GetPgm1, *SendPgm1, *GetASCIIPgm1, *MenuFileProp, *Exit1;
    QAction *MenuCopy, *Clear1;
    QAction *OperateUserPgm1, *ExitUserPgm1, *SetTime1, *GetUserPgmChksum1, *GetFirmwareVersion1,
        *EraseRecords1;
    QAction *Font1, *Normal, *Hex, *WordWrap;
    QAction* About1;
    QAction *OperateUserPgm2, *ExitUserPgm2, *PopCopy, *Clear2, *GetRecords2, *GetPgm2, *SendPgm2,
        *GetASCIIPgm2;

    // The handlers, named after the items that run them.
    void WordWrapClick();
    void NormalClick();
    void HexClick();
    void Font1Click();
    void MenuCopyClick();
    void Clear1Click();
    void Exit1Click();
    void MenuFilePropClick();
    void About1Click();
    void Memo1MouseUp();
    void Memo1KeyUp();
    void OperateUserPgm1Click();
    void ExitUserPgm1Click();
    void SetTime1Click();
    void GetUserPgmChksum1Click();
    void GetFirmwareVersion1Click();
    void EraseRecords1Click();
    void GetRecords1Click();
    void GetPgm1Click();
    void SendPgm1Click();
    void GetASCIIPgm1Click();
    void RecordsViewerClick();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void BuildMenus();
    void BuildPopupMenu();
    void SetCopyEnabled(bool enabled);
};

extern TMainForm* MainForm;

// The designed bounds, used when no settings are stored.
inline constexpr int kDesignLeft = 517;
inline constexpr int kDesignTop = 266;
inline constexpr int kDesignWidth = 435;
inline constexpr int kDesignHeight = 300;

}  // namespace ventaro
