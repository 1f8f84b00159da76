#include "about/about_dialog.h"

#include "app/version.h"

#include <QDesktopServices>
#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>

namespace ventaro {

TAboutDlg* AboutDlg = nullptr;

namespace {

constexpr int kClientWidth = 285;
constexpr int kClientHeight = 154;
const QColor kLinkBlue(0, 0, 255);

}  // namespace

TAboutDlg::TAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Ventaro"));
    // A title and nothing else: no system menu, no close box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(kClientWidth, kClientHeight);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);
    QFont dialogFont = font();
    dialogFont.setPixelSize(11);
    setFont(dialogFont);

    Image2 = new QLabel(this);
    Image2->setPixmap(QPixmap(QStringLiteral(":/ventaro/logo.png")));
    Image2->setGeometry(10, 11, 75, 89);
    StaticText1 = AddText(QString::fromUtf8(version::kCompanyName), 100, 72, 13);
    StaticText2 = AddText(QStringLiteral("Ventaro"), 100, 13, 13);
    StaticText3 = AddText(QStringLiteral("for Windows 9x/NT/2000"), 100, 27, 11);
    StaticText4 = AddText(QStringLiteral("BETA Version 0.19"), 100, 53, 11);
    StaticText5 = AddText(QString::fromUtf8(version::kMakerSiteText), 100, 89, 11);
    QFont linkFont = StaticText5->font();
    linkFont.setUnderline(true);
    StaticText5->setFont(linkFont);
    QPalette link = StaticText5->palette();
    link.setColor(QPalette::WindowText, kLinkBlue);
    StaticText5->setPalette(link);
    StaticText5->setAutoFillBackground(true);
    StaticText5->setCursor(Qt::PointingHandCursor);
    StaticText5->installEventFilter(this);

    disclaimer_ = AddText(QStringLiteral("Beta software, provided as is,\n"
                                         "without warranty of any kind."),
                          10, 112, 10);

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setGeometry(198, 116, 75, 25);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
}

// Static texts size themselves to their text and never take the focus.
QLabel* TAboutDlg::AddText(const QString& text, int left, int top, int pixelSize) {
    auto* label = new QLabel(text, this);
    label->setTextFormat(Qt::PlainText);
    label->setFocusPolicy(Qt::NoFocus);
    QFont textFont = font();
    textFont.setPixelSize(pixelSize);
    label->setFont(textFont);
    label->adjustSize();
    label->move(left, top);
    return label;
}

void TAboutDlg::StaticText5Click() {
    QDesktopServices::openUrl(QUrl(QString::fromUtf8(version::kMakerSiteUrl)));
}

void TAboutDlg::reject() {
    // No cancel: only OK ends the dialog.
}

bool TAboutDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == StaticText5 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        StaticText5Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TAboutDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Button1->setFocus();
}

}  // namespace ventaro
