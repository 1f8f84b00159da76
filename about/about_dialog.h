// The About dialog: name, systems, version label, the maker's logo, name
// and link, and a disclaimer.
//
// The OK button is the only control that takes the focus, so Enter and the
// space bar press it. There is no way to cancel: Esc and a close request
// from the window manager are refused, and the title bar has no buttons.
// The link is a plain label that opens the maker's site with the desktop's
// default handler; whether that works is not reported.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace ventaro {

class TAboutDlg : public QDialog {
    Q_OBJECT
  public:
    explicit TAboutDlg(QWidget* parent);
    void StaticText5Click();

    QLabel* Image2 = nullptr;
    QLabel *StaticText1 = nullptr, *StaticText2 = nullptr, *StaticText3 = nullptr,
           *StaticText4 = nullptr, *StaticText5 = nullptr;
    QPushButton* Button1 = nullptr;

  public slots:
    void reject() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    QLabel* AddText(const QString& text, int left, int top, int pixelSize);
    QLabel* disclaimer_ = nullptr;
};

extern TAboutDlg* AboutDlg;

}  // namespace ventaro
