// The main menu, the pop-up menu and the one-key instrument commands.
#include "about/about_dialog.h"
#include "app/main_window.h"
#include "device/program_capture.h"
#include "device/program_send.h"
#include "device/record_retrieval.h"
#include "device/transfer_guard.h"
#include "serial/comm_properties.h"
#include "serial/serial_state.h"
#include "viewer/records_window.h"

#include <QMenu>
#include <QMenuBar>

namespace ventaro {
namespace {

using Handler = void (TMainForm::*)();

QAction* AddItem(TMainForm* form, QMenu* menu, const QString& caption, Handler handler,
                 const QKeySequence& shortcut = {}) {
    QAction* action = menu->addAction(caption);
    action->setShortcut(shortcut);
    QObject::connect(action, &QAction::triggered, form, [form, handler] { (form->*handler)(); });
    return action;
}

// The handler decides the check mark: the click's own toggle is undone first.
QAction* AddCheckItem(TMainForm* form, QMenu* menu, const QString& caption, Handler handler) {
    QAction* action = menu->addAction(caption);
    action->setCheckable(true);
    QObject::connect(action, &QAction::triggered, form, [form, action, handler](bool checked) {
        action->setChecked(!checked);
        (form->*handler)();
    });
    return action;
}

QKeySequence Ctrl(Qt::Key key) {
    return QKeySequence(Qt::CTRL | key);
}

// The one-key commands: the caret to the end, then the byte; the answer
// arrives through the receive thread.
void SendCommandByte(uint8_t byte) {
    if (RefuseCommand()) {
        return;
    }
    MainForm->Memo1->MoveCaretToEnd();
    plat::TransmitCommChar(CommHandle, byte);
}

}  // namespace

void TMainForm::BuildMenus() {
    QMenuBar* bar = menuBar();
    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    MainMenuFile = file;
    GetRecords1 = AddItem(this, file, QStringLiteral("Get &Records..."),
                          &TMainForm::GetRecords1Click, Ctrl(Qt::Key_R));
    GetPgm1 = AddItem(this, file, QStringLiteral("&Get Pgm..."), &TMainForm::GetPgm1Click,
                      Ctrl(Qt::Key_U));
    SendPgm1 = AddItem(this, file, QStringLiteral("&Send Pgm..."), &TMainForm::SendPgm1Click,
                       Ctrl(Qt::Key_D));
    file->addSeparator();
    GetASCIIPgm1 = AddItem(this, file, QStringLiteral("Get &ASCII Pgm..."),
                           &TMainForm::GetASCIIPgm1Click, Ctrl(Qt::Key_A));
    file->addSeparator();
    MenuFileProp =
        AddItem(this, file, QStringLiteral("Comm &Properties..."), &TMainForm::MenuFilePropClick);
    file->addSeparator();
    Exit1 = AddItem(this, file, QStringLiteral("E&xit Ventaro"), &TMainForm::Exit1Click);

    QMenu* edit = bar->addMenu(QStringLiteral("&Edit"));
    MenuCopy = AddItem(this, edit, QStringLiteral("&Copy"), &TMainForm::MenuCopyClick);
    MenuCopy->setEnabled(false);
    Clear1 = AddItem(this, edit, QStringLiteral("C&lear"), &TMainForm::Clear1Click);

    QMenu* commands = bar->addMenu(QStringLiteral("&Commands"));
    OperateUserPgm1 = AddItem(this, commands, QStringLiteral("&Operate User Pgm"),
                              &TMainForm::OperateUserPgm1Click, Ctrl(Qt::Key_O));
    ExitUserPgm1 = AddItem(this, commands, QStringLiteral("E&xit User Pgm"),
                           &TMainForm::ExitUserPgm1Click, Ctrl(Qt::Key_X));
    commands->addSeparator();
    SetTime1 = AddItem(this, commands, QStringLiteral("Set &Time..."), &TMainForm::SetTime1Click,
                       Ctrl(Qt::Key_T));
    commands->addSeparator();
    GetUserPgmChksum1 = AddItem(this, commands, QStringLiteral("Get User Pgm &Chksum"),
                                &TMainForm::GetUserPgmChksum1Click, Ctrl(Qt::Key_P));
    GetFirmwareVersion1 = AddItem(this, commands, QStringLiteral("Get Firmware &Version"),
                                  &TMainForm::GetFirmwareVersion1Click, Ctrl(Qt::Key_V));
    EraseRecords1 = AddItem(this, commands, QStringLiteral("&Erase Records"),
                            &TMainForm::EraseRecords1Click, Ctrl(Qt::Key_E));

    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    Font1 = AddItem(this, view, QStringLiteral("&Font..."), &TMainForm::Font1Click);
    view->addSeparator();
    Normal = AddCheckItem(this, view, QStringLiteral("&Normal"), &TMainForm::NormalClick);
    Hex = AddCheckItem(this, view, QStringLiteral("&Hex"), &TMainForm::HexClick);
    view->addSeparator();
    WordWrap = AddCheckItem(this, view, QStringLiteral("&Word Wrap"), &TMainForm::WordWrapClick);
    view->addSeparator();
    AddItem(this, view, QStringLiteral("&Records Viewer..."), &TMainForm::RecordsViewerClick);
    Normal->setChecked(true);
    WordWrap->setChecked(true);

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    About1 = AddItem(this, help, QStringLiteral("&About Ventaro..."), &TMainForm::About1Click);
}

void TMainForm::BuildPopupMenu() {
    PopupMenu1 = new QMenu(this);
    QMenu* p = PopupMenu1;
    OperateUserPgm2 = AddItem(this, p, QStringLiteral("&Operate User Pgm"),
                              &TMainForm::OperateUserPgm1Click, Ctrl(Qt::Key_O));
    ExitUserPgm2 = AddItem(this, p, QStringLiteral("E&xit User Pgm"), &TMainForm::ExitUserPgm1Click,
                           Ctrl(Qt::Key_X));
    p->addSeparator();
    PopCopy = AddItem(this, p, QStringLiteral("&Copy"), &TMainForm::MenuCopyClick);
    PopCopy->setEnabled(false);
    Clear2 = AddItem(this, p, QStringLiteral("C&lear"), &TMainForm::Clear1Click);
    p->addSeparator();
    GetRecords2 = AddItem(this, p, QStringLiteral("Get &Records..."), &TMainForm::GetRecords1Click,
                          Ctrl(Qt::Key_R));
    GetPgm2 =
        AddItem(this, p, QStringLiteral("&Get Pgm..."), &TMainForm::GetPgm1Click, Ctrl(Qt::Key_U));
    SendPgm2 = AddItem(this, p, QStringLiteral("&Send Pgm..."), &TMainForm::SendPgm1Click,
                       Ctrl(Qt::Key_D));
    p->addSeparator();
    GetASCIIPgm2 = AddItem(this, p, QStringLiteral("Get &ASCII Pgm..."),
                           &TMainForm::GetASCIIPgm1Click, Ctrl(Qt::Key_A));
    // The twins show their keys, but only the main menu's items answer them:
    // two live actions on one key would make Qt answer neither.
    for (QAction* twin : p->actions()) {
        twin->setShortcutContext(Qt::WidgetShortcut);
    }
}

void TMainForm::OperateUserPgm1Click() {
    SendCommandByte(0x0F);
}
void TMainForm::ExitUserPgm1Click() {
    SendCommandByte(0x18);
}
void TMainForm::SetTime1Click() {
    SendCommandByte(0x14);
}
void TMainForm::GetUserPgmChksum1Click() {
    SendCommandByte(0x10);
}
void TMainForm::GetFirmwareVersion1Click() {
    SendCommandByte(0x16);
}
void TMainForm::EraseRecords1Click() {
    SendCommandByte(0x05);
}

void TMainForm::GetRecords1Click() {
    ShowDownloadedRecords(RunRecordsDownload(), this);
}
void TMainForm::RecordsViewerClick() {
    AskAndOpenRecordsWindow(this, OpenDialog);
}
void TMainForm::GetPgm1Click() {
    RunProgramCapture(GetPgmRequest());
}
void TMainForm::GetASCIIPgm1Click() {
    RunProgramCapture(GetAsciiPgmRequest());
}
void TMainForm::SendPgm1Click() {
    RunProgramSend();
}

void TMainForm::MenuFilePropClick() {
    // A port change would pull the port from under a running transfer.
    if (RefuseCommand()) {
        return;
    }
    if (PropDlg) {
        PropDlg->move(x() + 50, y() + 50);
        PropDlg->exec();
    }
}

void TMainForm::About1Click() {
    if (AboutDlg) {
        AboutDlg->move(x() + 25, y() + 60);
        AboutDlg->exec();
    }
}

}  // namespace ventaro
