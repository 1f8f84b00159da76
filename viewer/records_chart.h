// The records chart: chosen fields as lines against the record number.
//
// How it works: one line series per chosen column, a point per record whose cell holds a number
// (asterisks and empty cells leave a gap in the data, not a zero). Both axes are value axes whose
// ranges the view sets itself: zooming and panning compute new ranges from the plot area's
// pixels, so they work the same with any series or none. The wheel zooms about the pointer, a
// left-button drag zooms to the dragged rectangle, a right- or middle-button drag pans, and a
// double click shows all the data again.
//
// Relies on: the shared table outliving nothing it hands out (series copy their points).
#pragma once

#include "viewer/records_text.h"

#include <QChartView>
#include <QList>
#include <QValueAxis>

#include <memory>
#include <optional>

namespace ventaro {

class RecordsChartView : public QChartView {
    Q_OBJECT
  public:
    explicit RecordsChartView(std::shared_ptr<const RecordsTable> table, QWidget* parent = nullptr);

    // Replaces the plotted columns and shows all their data.
    void Plot(const QList<int>& columns);
    const QList<int>& Plotted() const { return plotted_; }
    void ResetView();
    // PNG, or SVG when the name ends in .svg.
    bool SaveImage(const QString& path);

    QValueAxis* AxisX() const { return axisX_; }
    QValueAxis* AxisY() const { return axisY_; }

  protected:
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    // Ranges scaled by `factor` about the value under a point of the view.
    void ZoomAt(QPointF viewPoint, double factor);
    void PanBy(QPointF pixels);
    QPointF ChartPoint(QPointF viewPoint) const;

    std::shared_ptr<const RecordsTable> table_;
    QValueAxis* axisX_;
    QValueAxis* axisY_;
    QList<int> plotted_;
    std::optional<QPointF> panFrom_;
};

}  // namespace ventaro
