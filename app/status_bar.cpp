#include "app/status_bar.h"

#include <QLabel>

namespace ventaro {

TStatusBar::TStatusBar(QWidget* parent) : QStatusBar(parent) {
    setSizeGripEnabled(true);
    const int widths[] = {50, 80, 50};
    for (size_t i = 0; i < panels_.size(); ++i) {
        auto* label = new QLabel(this);
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        label->setMinimumWidth(widths[i]);
        label->setTextFormat(Qt::PlainText);
        if (i + 1 < panels_.size()) {
            label->setFixedWidth(widths[i]);
        }
        addWidget(label, i + 1 == panels_.size() ? 1 : 0);
        panels_[i] = label;
    }
}

void TStatusBar::SetPanelText(int panel, const QString& text) {
    if (panel >= 0 && size_t(panel) < panels_.size()) {
        panels_[size_t(panel)]->setText(text);
        panels_[size_t(panel)]->repaint();
        emit PanelChanged(panel, text);
    }
}

QString TStatusBar::PanelText(int panel) const {
    if (panel >= 0 && size_t(panel) < panels_.size()) {
        return panels_[size_t(panel)]->text();
    }
    return {};
}

}  // namespace ventaro
