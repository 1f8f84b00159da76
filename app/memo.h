// The terminal: a plain-text editor whose typed characters go to the
// instrument and into which the receive thread's text is inserted.
//
// It keeps itself to about 250 lines (and a bounded number of characters, as
// a stream without line breaks never trips the line count), always inserts at
// the end, and gives the application's menu shortcuts back to the menu, since
// Qt's text widgets claim Ctrl+A, Ctrl+X and Ctrl+V for themselves.
#pragma once

#include <QPlainTextEdit>

#include <string_view>

class QMenu;

namespace ventaro {

class TMemo : public QPlainTextEdit {
    Q_OBJECT
  public:
    static constexpr int kMaxLines = 250;
    static constexpr int kTrimChars = 750;
    static constexpr int kMaxChars = 30000;

    explicit TMemo(QWidget* parent);

    void SetPopupMenu(QMenu* menu) { popup_ = menu; }
    void MoveCaretToEnd();
    void InsertBytes(std::string_view bytes);  // Windows-1252 text at the caret
    void InsertText(const QString& text);
    int LineCount() const;  // lines as shown: wrapped lines count one by one
    void TrimToLimit();
    int SelectionLength() const;
    QString Text() const { return toPlainText(); }

    // The character a key press produces, as the instrument should get it;
    // 0 for keys that produce none (arrows, function keys, lone modifiers).
    static char KeyChar(int key, Qt::KeyboardModifiers modifiers, const QString& text);
    static bool IsMenuShortcut(int key, Qt::KeyboardModifiers modifiers);

  signals:
    void KeyReleased();
    void MouseReleased();

  protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;

  private:
    QMenu* popup_ = nullptr;
};

}  // namespace ventaro
