// The Records window under a real X server (Xvfb in the test command), written out as a PNG for
// a person to look at: the demo download with two fields plotted.
#include "tests/support/app_harness.h"
#include "viewer/records_window.h"

#include <QCheckBox>
#include <QGraphicsItem>
#include <QImage>
#include <QLegend>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

namespace ventaro::testing {
namespace {

bool AllShown(QGraphicsItem* item) {
    const QList<QGraphicsItem*> children = item->childItems();
    return item->isVisible() && std::all_of(children.begin(), children.end(), AllShown);
}

TEST(RecordsScreens, RecordsWindowAfterADownload) {
    AppHarness app;
    app.Start();
    ASSERT_TRUE(app.sim.WaitForReceived(1, 5s));
    app.ui->files.push_back(app.home.Path("site12.txt"));
    app.form->GetRecords1Click();
    RecordsWindow* window = RecordsWindow::Last();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    window->FieldBoxes()[2]->setChecked(true);  // RH beside TEMP
    window->FieldBoxes()[0]->setChecked(false);
    window->FieldBoxes()[1]->setChecked(true);
    // The legend lays its entries out in a later pass; they show once it has.
    QLegend* legend = window->Chart()->chart()->legend();
    ASSERT_TRUE(WaitUntil(
        [&] { return window->Chart()->chart()->plotArea().width() > 300 && AllShown(legend); }));
    EXPECT_EQ(window->Chart()->chart()->series().size(), 2);
    EXPECT_EQ(window->Table()->model()->rowCount(), 300);
    // Something was drawn: not one flat colour.
    const QImage image = window->grab().toImage();
    EXPECT_NE(image.pixel(10, 10), image.pixel(image.width() / 2, image.height() * 3 / 4));
    app.Screenshot(window, QStringLiteral("records-window"));
    window->Chart()->ResetView();
    app.Screenshot(window->Chart(), QStringLiteral("records-chart"));
}

}  // namespace
}  // namespace ventaro::testing

int main(int argc, char** argv) {
    return ventaro::testing::RunWindowedTests(argc, argv, true);
}
