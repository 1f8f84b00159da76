#include "app/memo.h"

#include "serial/codepage.h"
#include "serial/receive_thread.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>

namespace ventaro {
namespace {

constexpr int kShortcutLetters[] = {Qt::Key_R, Qt::Key_U, Qt::Key_D, Qt::Key_A, Qt::Key_O,
                                    Qt::Key_X, Qt::Key_T, Qt::Key_P, Qt::Key_V, Qt::Key_E};

void DeleteFront(QTextCursor cursor, int chars) {
    cursor.movePosition(QTextCursor::Start);
    cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor, chars);
    cursor.removeSelectedText();
}

}  // namespace

TMemo::TMemo(QWidget* parent) : QPlainTextEdit(parent) {
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setUndoRedoEnabled(false);
    setContextMenuPolicy(Qt::DefaultContextMenu);
}

void TMemo::MoveCaretToEnd() {
    QTextCursor cursor = textCursor();
    cursor.movePosition(QTextCursor::End);
    setTextCursor(cursor);
}

void TMemo::InsertBytes(std::string_view bytes) {
    InsertText(FromWindows1252(bytes));
}

void TMemo::InsertText(const QString& text) {
    // A carriage return and line feed pair is one line break here.
    QString normalised = text;
    normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    textCursor().insertText(normalised);
}

int TMemo::LineCount() const {
    if (lineWrapMode() == QPlainTextEdit::NoWrap) {
        return document()->blockCount();
    }
    int lines = 0;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        const QTextLayout* layout = block.layout();
        lines += (layout && layout->lineCount() > 0) ? layout->lineCount() : 1;
    }
    return lines;
}

void TMemo::TrimToLimit() {
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    if (LineCount() > kMaxLines) {
        DeleteFront(cursor, kTrimChars);
        cursor.movePosition(QTextCursor::Start);
        cursor.movePosition(QTextCursor::EndOfLine, QTextCursor::KeepAnchor);
        if (cursor.atBlockEnd()) {
            cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
        }
        cursor.removeSelectedText();
    }
    const int excess = document()->characterCount() - kMaxChars;
    if (excess > 0) {
        DeleteFront(cursor, excess + kTrimChars);
    }
    cursor.endEditBlock();
}

int TMemo::SelectionLength() const {
    const QTextCursor cursor = textCursor();
    return cursor.selectionEnd() - cursor.selectionStart();
}

char TMemo::KeyChar(int key, Qt::KeyboardModifiers modifiers, const QString& text) {
    const bool ctrl = modifiers.testFlag(Qt::ControlModifier);
    if (ctrl && key >= Qt::Key_A && key <= Qt::Key_Z) {
        return char(key - Qt::Key_A + 1);
    }
    switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return '\r';
        case Qt::Key_Backspace:
            return '\b';
        case Qt::Key_Escape:
            return 0x1B;
        case Qt::Key_Tab:
            return '\t';
        default:
            break;
    }
    if (ctrl || text.size() != 1) {
        return 0;
    }
    auto byte = ToWindows1252(text.at(0));
    return (byte && *byte >= 0x20 && *byte != 0x7F) ? char(*byte) : 0;
}

bool TMemo::IsMenuShortcut(int key, Qt::KeyboardModifiers modifiers) {
    const auto mods =
        modifiers & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier);
    if (mods != Qt::ControlModifier) {
        return false;
    }
    for (int letter : kShortcutLetters) {
        if (key == letter) {
            return true;
        }
    }
    return false;
}

bool TMemo::event(QEvent* e) {
    if (e->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(e);
        if (IsMenuShortcut(key->key(), key->modifiers())) {
            e->ignore();  // the menu's shortcut gets it, not the editor
            return true;
        }
    }
    return QPlainTextEdit::event(e);
}

void TMemo::keyPressEvent(QKeyEvent* e) {
    char key = KeyChar(e->key(), e->modifiers(), e->text());
    if (key == 0) {
        QPlainTextEdit::keyPressEvent(e);  // caret movement and selection
        return;
    }
    Memo1KeyPress(key);
    const bool edits = key == '\r' || key == '\b' || key == '\t' || uint8_t(key) >= 0x20;
    if (key != 0 && edits) {
        QPlainTextEdit::keyPressEvent(e);
    }
    e->accept();
}

void TMemo::keyReleaseEvent(QKeyEvent* e) {
    QPlainTextEdit::keyReleaseEvent(e);
    emit KeyReleased();
}

void TMemo::mouseReleaseEvent(QMouseEvent* e) {
    QPlainTextEdit::mouseReleaseEvent(e);
    emit MouseReleased();
}

void TMemo::contextMenuEvent(QContextMenuEvent* e) {
    if (!popup_) {
        return;
    }
    const QSize size = popup_->sizeHint();
    popup_->popup(e->globalPos() - QPoint(size.width() / 2, 0));
}

// Qt 6.4 crashes pasting from a clipboard that has no owner: refuse what is not there.
bool TMemo::canInsertFromMimeData(const QMimeData* source) const {
    return source && source->hasText() && !source->text().isEmpty();
}

void TMemo::insertFromMimeData(const QMimeData* source) {
    if (canInsertFromMimeData(source)) {
        QPlainTextEdit::insertFromMimeData(source);
    }
}

}  // namespace ventaro
