// Three panels: the port name (50 px), the line settings (80 px) and the
// progress of whatever transfer runs, to the right edge.
#pragma once

#include <QStatusBar>

#include <array>

class QLabel;

namespace ventaro {

class TStatusBar : public QStatusBar {
    Q_OBJECT
  public:
    explicit TStatusBar(QWidget* parent);
    void SetPanelText(int panel, const QString& text);
    QString PanelText(int panel) const;

  signals:
    void PanelChanged(int panel, const QString& text);

  private:
    std::array<QLabel*, 3> panels_{};
};

}  // namespace ventaro
