#include "viewer/records_chart.h"

#include "viewer/records_model.h"

#include <QLineSeries>
#include <QMouseEvent>
#include <QPainter>
#include <QSvgGenerator>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <limits>

namespace ventaro {

namespace {

constexpr double kWheelStep = 1.25;  // one notch of the wheel
constexpr double kMargin = 0.05;     // around the data, of its height

QLineSeries* SeriesOf(const RecordsTable& table, int column) {
    QList<QPointF> points;
    points.reserve(qsizetype(table.rows.size()));
    for (size_t r = 0; r < table.rows.size(); ++r) {
        const auto& values = table.rows[r].values;
        if (size_t(column) < values.size() && values[size_t(column)]) {
            points.append(QPointF(double(r + 1), *values[size_t(column)]));
        }
    }
    auto* series = new QLineSeries;
    series->setName(ColumnTitle(table, column));
    series->replace(points);
    return series;
}

}  // namespace

RecordsChartView::RecordsChartView(std::shared_ptr<const RecordsTable> table, QWidget* parent)
    : QChartView(parent), table_(std::move(table)), axisX_(new QValueAxis), axisY_(new QValueAxis) {
    auto* chart = new QChart;
    chart->legend()->setVisible(true);
    chart->legend()->setAlignment(Qt::AlignBottom);
    axisX_->setTitleText(tr("Record"));
    axisX_->setLabelFormat(QStringLiteral("%.0f"));
    chart->addAxis(axisX_, Qt::AlignBottom);
    chart->addAxis(axisY_, Qt::AlignLeft);
    setChart(chart);  // the view owns it
    setRenderHint(QPainter::Antialiasing);
    setRubberBand(QChartView::RectangleRubberBand);
    Plot({});
}

void RecordsChartView::Plot(const QList<int>& columns) {
    chart()->removeAllSeries();
    plotted_ = columns;
    QStringList names;
    for (int column : columns) {
        QLineSeries* series = SeriesOf(*table_, column);
        chart()->addSeries(series);
        series->attachAxis(axisX_);
        series->attachAxis(axisY_);
        names << series->name();
    }
    axisY_->setTitleText(names.isEmpty() ? tr("Value") : names.join(QStringLiteral(", ")));
    ResetView();
}

void RecordsChartView::ResetView() {
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    for (QAbstractSeries* s : chart()->series()) {
        for (const QPointF& p : static_cast<QLineSeries*>(s)->points()) {
            low = std::min(low, p.y());
            high = std::max(high, p.y());
        }
    }
    if (low > high) {
        low = 0;
        high = 1;
    }
    const double margin = high > low ? (high - low) * kMargin : std::max(1.0, std::abs(low) / 10);
    axisX_->setRange(1, std::max<double>(2, double(table_->rows.size())));
    axisY_->setRange(low - margin, high + margin);
    axisY_->applyNiceNumbers();
}

QPointF RecordsChartView::ChartPoint(QPointF viewPoint) const {
    return chart()->mapFromScene(mapToScene(viewPoint.toPoint()));
}

void RecordsChartView::ZoomAt(QPointF viewPoint, double factor) {
    const QRectF area = chart()->plotArea();
    if (area.isEmpty()) {
        return;
    }
    QPointF at = ChartPoint(viewPoint);
    if (!area.contains(at)) {
        at = area.center();
    }
    const double fx = (at.x() - area.left()) / area.width();
    const double fy = (area.bottom() - at.y()) / area.height();
    for (auto [axis, f] : {std::pair{axisX_, fx}, std::pair{axisY_, fy}}) {
        const double low = axis->min(), high = axis->max();
        const double value = low + f * (high - low);
        axis->setRange(value - (value - low) * factor, value + (high - value) * factor);
    }
}

void RecordsChartView::PanBy(QPointF pixels) {
    const QRectF area = chart()->plotArea();
    if (area.isEmpty()) {
        return;
    }
    const double dx = -pixels.x() / area.width() * (axisX_->max() - axisX_->min());
    const double dy = pixels.y() / area.height() * (axisY_->max() - axisY_->min());
    axisX_->setRange(axisX_->min() + dx, axisX_->max() + dx);
    axisY_->setRange(axisY_->min() + dy, axisY_->max() + dy);
}

void RecordsChartView::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta == 0) {
        return QChartView::wheelEvent(event);
    }
    // Wheel forward zooms in: the ranges shrink.
    ZoomAt(event->position(), std::pow(kWheelStep, -delta / 120.0));
    event->accept();
}

void RecordsChartView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton || event->button() == Qt::MiddleButton) {
        panFrom_ = event->position();
        setCursor(Qt::ClosedHandCursor);
        event->accept();
        return;
    }
    QChartView::mousePressEvent(event);
}

void RecordsChartView::mouseMoveEvent(QMouseEvent* event) {
    if (panFrom_) {
        PanBy(event->position() - *panFrom_);
        panFrom_ = event->position();
        event->accept();
        return;
    }
    QChartView::mouseMoveEvent(event);
}

void RecordsChartView::mouseReleaseEvent(QMouseEvent* event) {
    if (panFrom_ && (event->button() == Qt::RightButton || event->button() == Qt::MiddleButton)) {
        panFrom_.reset();
        unsetCursor();
        event->accept();
        return;
    }
    QChartView::mouseReleaseEvent(event);
}

void RecordsChartView::mouseDoubleClickEvent(QMouseEvent* event) {
    ResetView();
    event->accept();
}

bool RecordsChartView::SaveImage(const QString& path) {
    if (!path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
        return grab().save(path, "PNG");
    }
    QSvgGenerator svg;
    svg.setFileName(path);
    svg.setSize(size());
    svg.setViewBox(rect());
    svg.setTitle(axisY_->titleText());
    QPainter painter;
    if (!painter.begin(&svg)) {
        return false;
    }
    render(&painter);
    return painter.end();
}

}  // namespace ventaro
