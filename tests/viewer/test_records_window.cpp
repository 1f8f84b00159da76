// The Records window on the offscreen platform: the table model, the chart's series and axes,
// zoom and pan, saving the chart and exporting CSV, with scripted file dialogs.
#include "tests/support/app_harness.h"
#include "viewer/records_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QImage>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMouseEvent>
#include <QTableView>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace ventaro::testing {
namespace {

const QByteArray kWorkedExample =
    "SITE 12\r\n"
    "HOURLY MEANS\r\n"
    "NUMBER OF RECORDS: 2\r\n"
    "FIELDS PER RECORD: 3\r\n"
    "\r\n"
    "    TEMP     RH   WD\r\n"
    "   DEG C    PCT  DEG\r\n"
    "\r\n"
    "   21.46   55.0  270\r\n"
    "   -3.50  100.0 ****\r\n";

QList<QPointF> PointsOf(QAbstractSeries* series) {
    return static_cast<QLineSeries*>(series)->points();
}

class RecordsWindowTest : public ::testing::Test {
  protected:
    void SetUp() override { ui_ = &InstallScriptedUi(); }
    void TearDown() override { delete window_.data(); }

    QString Write(const QByteArray& bytes, const QString& name = "records.txt") {
        const QString path = home_.Path(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    RecordsWindow* Open(const QByteArray& bytes) {
        delete window_.data();
        window_ = OpenRecordsWindow(Write(bytes), nullptr);
        return window_;
    }
    // The chart laid out, so that pixels map to values.
    RecordsChartView* ShownChart() {
        RecordsChartView* view = window_->Chart();
        EXPECT_TRUE(WaitUntil([&] { return view->chart()->plotArea().width() > 100; }));
        return view;
    }
    QPoint PlotCenter(RecordsChartView* view) {
        const QPointF scene = view->chart()->mapToScene(view->chart()->plotArea().center());
        return view->mapFromScene(scene);
    }

    TestHome home_;
    ScriptedUi* ui_ = nullptr;
    QPointer<RecordsWindow> window_;
};

TEST_F(RecordsWindowTest, ModelHoldsTheRecordsAndTheLabelRows) {
    ASSERT_NE(Open(kWorkedExample), nullptr);
    EXPECT_EQ(RecordsWindow::Last(), window_.data());
    EXPECT_TRUE(window_->isVisible());
    const RecordsModel* model = window_->Model();
    EXPECT_EQ(window_->Table()->model(), model);
    ASSERT_EQ(model->rowCount(), 2);
    ASSERT_EQ(model->columnCount(), 3);
    const QStringList cells = {"21.46", "55.0", "270", "-3.50", "100.0", "****"};
    for (int i = 0; i < cells.size(); ++i) {
        EXPECT_EQ(model->index(i / 3, i % 3).data().toString(), cells[i]);
    }
    EXPECT_EQ(model->index(1, 0).data(RecordsModel::kValueRole).toDouble(), -3.5);
    EXPECT_FALSE(model->index(1, 2).data(RecordsModel::kValueRole).isValid());
    EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), "TEMP\nDEG C");
    EXPECT_EQ(model->headerData(2, Qt::Horizontal).toString(), "WD\nDEG");
    EXPECT_EQ(model->headerData(1, Qt::Vertical).toInt(), 2);
    EXPECT_TRUE(window_->windowTitle().contains("records.txt"));
}

TEST_F(RecordsWindowTest, WithoutFieldsPerRecordOneUnnamedColumn) {
    ASSERT_NE(Open("\r\n\r\n\r\n   1.0\r\n   2.5\r\n"), nullptr);
    EXPECT_EQ(window_->Model()->rowCount(), 2);
    EXPECT_EQ(window_->Model()->columnCount(), 1);
    EXPECT_EQ(window_->Model()->headerData(0, Qt::Horizontal).toString(), "Field 1");
}

TEST_F(RecordsWindowTest, AnIncompleteLastRecordShowsEmptyCells) {
    ASSERT_NE(Open("T\r\nU\r\nNUMBER OF RECORDS: 1\r\nFIELDS PER RECORD: 2\r\n\r\n A B\r\n C D\r\n"
                   "\r\n 1 2\r\n 3\r\n"),
              nullptr);
    EXPECT_EQ(window_->Model()->index(1, 0).data().toString(), "3");
    EXPECT_FALSE(window_->Model()->index(1, 1).data().isValid());
}

TEST_F(RecordsWindowTest, ChartPlotsTheCheckedFieldsAgainstTheRecordNumber) {
    ASSERT_NE(Open(kWorkedExample), nullptr);
    RecordsChartView* view = window_->Chart();
    const QList<QCheckBox*>& boxes = window_->FieldBoxes();
    ASSERT_EQ(boxes.size(), 3);
    EXPECT_EQ(boxes[1]->text(), "RH PCT");
    // At first, the first field with numbers.
    EXPECT_TRUE(boxes[0]->isChecked());
    ASSERT_EQ(view->chart()->series().size(), 1);
    EXPECT_EQ(PointsOf(view->chart()->series()[0]), (QList<QPointF>{{1, 21.46}, {2, -3.5}}));
    boxes[2]->setChecked(true);
    const QList<QAbstractSeries*> series = view->chart()->series();
    ASSERT_EQ(series.size(), 2);
    EXPECT_EQ(series[1]->name(), "WD DEG");
    // The asterisks are no number: a gap, not a zero.
    EXPECT_EQ(PointsOf(series[1]), (QList<QPointF>{{1, 270}}));
    EXPECT_EQ(view->AxisX()->titleText(), "Record");
    EXPECT_EQ(view->AxisY()->titleText(), "TEMP DEG C, WD DEG");
    EXPECT_TRUE(view->chart()->legend()->isVisible());
    EXPECT_EQ(view->chart()->legend()->markers().size(), 2);
    // All the data in view.
    EXPECT_LE(view->AxisY()->min(), -3.5);
    EXPECT_GE(view->AxisY()->max(), 270);
    boxes[0]->setChecked(false);
    boxes[2]->setChecked(false);
    EXPECT_TRUE(view->chart()->series().isEmpty());
    EXPECT_EQ(view->AxisY()->titleText(), "Value");
}

TEST_F(RecordsWindowTest, FieldsWithoutNumbersCannotBePlotted) {
    ASSERT_NE(Open("T\r\nU\r\nNUMBER OF RECORDS: 2\r\nFIELDS PER RECORD: 2\r\n\r\n A B\r\n C D\r\n"
                   "\r\n *  1\r\n *  2\r\n"),
              nullptr);
    EXPECT_FALSE(window_->FieldBoxes()[0]->isEnabled());
    EXPECT_TRUE(window_->FieldBoxes()[1]->isChecked());
}

TEST_F(RecordsWindowTest, WheelZoomsAboutThePointerAndDraggingPans) {
    ASSERT_NE(Open(kWorkedExample), nullptr);
    RecordsChartView* view = ShownChart();
    QValueAxis* x = view->AxisX();
    const double width = x->max() - x->min(), middle = (x->max() + x->min()) / 2;
    const QPoint center = PlotCenter(view);

    QWheelEvent wheel(center, view->viewport()->mapToGlobal(center), {}, {0, 120}, Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view->viewport(), &wheel);
    EXPECT_NEAR(x->max() - x->min(), width / 1.25, width * 1e-3);
    EXPECT_NEAR((x->max() + x->min()) / 2, middle, width * 1e-2);

    const double zoomed = x->max() - x->min(), left = x->min();
    const QPoint to = center + QPoint(40, 0);
    for (auto [type, at, buttons] : {std::tuple{QEvent::MouseButtonPress, center, Qt::RightButton},
                                     std::tuple{QEvent::MouseMove, to, Qt::RightButton},
                                     std::tuple{QEvent::MouseButtonRelease, to, Qt::NoButton}}) {
        QMouseEvent event(type, at, view->viewport()->mapToGlobal(at),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::RightButton, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &event);
    }
    const double moved = 40 / view->chart()->plotArea().width() * zoomed;
    EXPECT_NEAR(x->min(), left - moved, zoomed * 1e-2);
    EXPECT_NEAR(x->max() - x->min(), zoomed, zoomed * 1e-6);

    view->ResetView();
    EXPECT_EQ(x->min(), 1);
    EXPECT_EQ(x->max(), 2);
}

TEST_F(RecordsWindowTest, LeftDragZoomsToTheRectangle) {
    ASSERT_NE(Open(kWorkedExample), nullptr);
    RecordsChartView* view = ShownChart();
    QValueAxis* x = view->AxisX();
    const QRectF area = view->chart()->plotArea();
    const QPoint from = view->mapFromScene(view->chart()->mapToScene(area.topLeft())) +
                        QPoint(int(area.width() / 4), 10);
    const QPoint to = from + QPoint(int(area.width() / 4), 60);
    for (auto [type, at, buttons] : {std::tuple{QEvent::MouseButtonPress, from, Qt::LeftButton},
                                     std::tuple{QEvent::MouseMove, to, Qt::LeftButton},
                                     std::tuple{QEvent::MouseButtonRelease, to, Qt::NoButton}}) {
        QMouseEvent event(type, at, view->viewport()->mapToGlobal(at),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &event);
    }
    EXPECT_NEAR(x->min(), 1.25, 0.05);
    EXPECT_NEAR(x->max(), 1.5, 0.05);
}

TEST_F(RecordsWindowTest, SavesTheChartAsPngOrSvg) {
    ASSERT_NE(Open(kWorkedExample), nullptr);
    ShownChart();
    const QString png = home_.Path("chart"), svg = home_.Path("chart.SVG");
    ui_->files = {png, svg};
    window_->SaveChartClick();
    window_->SaveChartClick();
    ASSERT_EQ(ui_->fileRequests.size(), 2u);
    EXPECT_EQ(ui_->fileRequests[0].filters,
              (QStringList{"PNG Image (*.png)", "SVG Image (*.svg)"}));
    EXPECT_TRUE(ui_->fileRequests[0].confirmOverwrite);
    const QImage image(png + ".png");
    EXPECT_EQ(image.size(), window_->Chart()->size());
    QFile file(svg);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.contains("<svg"));
    EXPECT_TRUE(text.contains("TEMP DEG C"));
    EXPECT_TRUE(ui_->messages.empty());
}

TEST_F(RecordsWindowTest, ExportsTheCsv) {
    ASSERT_NE(Open(kWorkedExample), nullptr);
    const QString csv = home_.Path("records.csv");
    ui_->files = {csv};
    window_->ExportCsvClick();
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "TEMP DEG C,RH PCT,WD DEG\r\n21.46,55.0,270\r\n-3.50,100.0,\r\n");
    EXPECT_EQ(ui_->fileRequests.back().initialDirectory, home_.Path("").chopped(1));
}

TEST_F(RecordsWindowTest, WriteFailuresAreTold) {
    ASSERT_NE(Open(kWorkedExample), nullptr);
    ui_->files = {home_.Path("missing/records.csv"), home_.Path("missing/chart.png")};
    window_->ExportCsvClick();
    window_->SaveChartClick();
    ASSERT_EQ(ui_->messages.size(), 2u);
    EXPECT_TRUE(ui_->messages[0].text.startsWith("Could not write the CSV file"));
    EXPECT_TRUE(ui_->messages[1].text.startsWith("Could not write the chart"));
}

TEST_F(RecordsWindowTest, AFileThatIsNotARecordsFileIsRefusedWithTheLine) {
    EXPECT_EQ(Open("Dear diary,\r\ntoday\r\nnothing happened.\r\n"), nullptr);
    ASSERT_EQ(ui_->messages.size(), 1u);
    EXPECT_EQ(ui_->messages[0].text,
              "records.txt is not a records file.\r\n"
              "line 3: expected \"NUMBER OF RECORDS: \" and a count");
    EXPECT_EQ(OpenRecordsWindow(home_.Path("absent.txt"), nullptr), nullptr);
    EXPECT_TRUE(ui_->messages.back().text.startsWith("Could not open"));
}

}  // namespace
}  // namespace ventaro::testing

int main(int argc, char** argv) {
    return ventaro::testing::RunWindowedTests(argc, argv, false);
}
