#include "app/main_window.h"

#include "app/application.h"
#include "app/settings.h"
#include "serial/comm_port.h"
#include "serial/receive_thread.h"
#include "serial/serial_state.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>

namespace ventaro {

TMainForm* MainForm = nullptr;

namespace {

const QStringList kFileFilters = {
    QStringLiteral("All Files (*.*)"), QStringLiteral("User Program (*.pgm)"),
    QStringLiteral("ASCII (*.asc)"),   QStringLiteral("Text (*.txt)"),
    QStringLiteral("Data (*.dat)"),    QStringLiteral("Special (*.std *.v4)"),
};

QFont DesignedFont() {
    QFont font(QStringLiteral("Courier New"), 8);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    return font;
}

}  // namespace

TMainForm::TMainForm() {
    MainForm = this;
    SetView(this);
    SetApplicationTerminated(false);  // a new window is a new run
    setWindowTitle(QStringLiteral("Ventaro"));
    // Sizeable, with system menu and minimise button but no maximise button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setMinimumSize(325, 125);
    move(kDesignLeft, kDesignTop);
    resize(kDesignWidth, kDesignHeight);

    Memo1 = new TMemo(this);
    Memo1->setFont(DesignedFont());
    setCentralWidget(Memo1);
    StatusBar1 = new TStatusBar(this);
    setStatusBar(StatusBar1);
    OpenDialog.filters = kFileFilters;
    OpenDialog.mustExist = true;
    SaveDialog.filters = kFileFilters;
    SaveDialog.confirmOverwrite = true;

    BuildMenus();
    BuildPopupMenu();
    Memo1->SetPopupMenu(PopupMenu1);
    connect(Memo1, &TMemo::KeyReleased, this, &TMainForm::Memo1KeyUp);
    connect(Memo1, &TMemo::MouseReleased, this, &TMainForm::Memo1MouseUp);
}

TMainForm::~TMainForm() {
    if (View() == this) {
        SetView(nullptr);
    }
}

void TMainForm::ShowText(std::string_view bytes, bool repaint) {
    Memo1->InsertBytes(bytes);
    if (repaint) {
        Memo1->repaint();
    }
}

void TMainForm::ShowReceivedText(std::string_view bytes) {
    Memo1->TrimToLimit();
    Memo1->MoveCaretToEnd();
    Memo1->InsertBytes(bytes);
    Memo1->repaint();
}

void TMainForm::FocusTerminal() {
    Memo1->setFocus();
    Memo1->repaint();
}

void TMainForm::FormCreate() {
    LoadSettings(*this);
    Normal->setChecked(true);
    Hex->setChecked(false);
    HexView = 0;
    show();
    CaptureMode = CaptureKind::Terminal;
    CommHandle = plat::kNoPort;
    ReadThread = new TRead(false);
    ReadThread->Start();
    OpenCommPort();
    plat::TransmitCommChar(CommHandle, 0x03);
    Memo1->repaint();
    plat::Ui().ProcessEvents();
}

bool TMainForm::FormClose() {
    try {
        SaveSettings(*this);
    } catch (const SettingsError& error) {
        plat::Ui().ErrorBox(WithFullStop(QString::fromUtf8(error.what())));
        return false;
    }
    SetApplicationTerminated();
    CloseCommPort();
    return true;
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (ApplicationTerminated() || FormClose()) {
        event->accept();
    } else {
        event->ignore();
    }
}

void TMainForm::contextMenuEvent(QContextMenuEvent* event) {
    const QSize size = PopupMenu1->sizeHint();
    PopupMenu1->popup(event->globalPos() - QPoint(size.width() / 2, 0));
}

void TMainForm::RestoreAndRaise() {
    if (isMinimized()) {
        showNormal();
    }
    raise();
    activateWindow();
}

void TMainForm::SetCopyEnabled(bool enabled) {
    MenuCopy->setEnabled(enabled);
    PopCopy->setEnabled(enabled);
}

void TMainForm::WordWrapClick() {
    if (WordWrap->isChecked()) {
        WordWrap->setChecked(false);
        Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
        Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    } else {
        WordWrap->setChecked(true);
        Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }
}

void TMainForm::NormalClick() {
    if (Normal->isChecked()) {
        return;
    }
    Normal->setChecked(true);
    Hex->setChecked(false);
    HexView = 0;
}

void TMainForm::HexClick() {
    if (Hex->isChecked()) {
        return;
    }
    Normal->setChecked(false);
    Hex->setChecked(true);
    HexView = 1;
}

void TMainForm::Font1Click() {
    auto font = plat::Ui().ChooseFont(Memo1->font(), kFontMinPoints, kFontMaxPoints);
    if (font) {
        Memo1->setFont(*font);
    }
}

void TMainForm::MenuCopyClick() {
    Memo1->copy();
}

void TMainForm::Clear1Click() {
    Memo1->clear();
    SetCopyEnabled(false);
}

void TMainForm::Exit1Click() {
    // Leaves the event loop without the close path: nothing is saved.
    SetApplicationTerminated();
    QCoreApplication::exit(0);
}

void TMainForm::Memo1MouseUp() {
    SetCopyEnabled(Memo1->SelectionLength() > 0);
}
void TMainForm::Memo1KeyUp() {
    SetCopyEnabled(Memo1->SelectionLength() > 0);
}

}  // namespace ventaro
