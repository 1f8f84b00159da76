// The Records window from the main window: View > Records Viewer..., and after Get Records
// against the simulator, where the window must show every value the download wrote.
#include "tests/commands/commands_fixture.h"
#include "tests/viewer/records_files.h"
#include "viewer/records_window.h"

#include <QMenuBar>

namespace ventaro::testing {
namespace {

QMenu* MenuNamed(TMainForm* form, const QString& title) {
    for (QAction* action : form->menuBar()->actions()) {
        if (action->text() == title) {
            return action->menu();
        }
    }
    return nullptr;
}

class RecordsFromApp : public Transfers {
  protected:
    // Only windows opened by this test count.
    bool Opened() const { return RecordsWindow::Last() != nullptr; }
    void SetUp() override { delete RecordsWindow::Last(); }
};

TEST_F(RecordsFromApp, ViewMenuGainsOneItemAfterWordWrap) {
    StartApp();
    QMenu* view = MenuNamed(app_->form, "&View");
    ASSERT_NE(view, nullptr);
    QStringList items;
    for (QAction* action : view->actions()) {
        items << (action->isSeparator() ? "-" : action->text());
    }
    EXPECT_EQ(items, (QStringList{"&Font...", "-", "&Normal", "&Hex", "-", "&Word Wrap", "-",
                                  "&Records Viewer..."}));
    // Every Ctrl+letter belongs to another item.
    EXPECT_TRUE(view->actions().back()->shortcut().isEmpty());
}

TEST_F(RecordsFromApp, RecordsViewerAsksForAFileAndOpensIt) {
    StartApp();
    const QString path = app_->home.Path("site12.txt");
    WriteFile(path, viewer_test::WriteRecordsFile(brenvix::DemoRecords()).c_str());
    app_->ui->files = {std::nullopt, path};
    app_->form->RecordsViewerClick();
    EXPECT_FALSE(Opened());  // cancelled
    MenuNamed(app_->form, "&View")->actions().back()->trigger();
    ASSERT_TRUE(Opened());
    ASSERT_EQ(app_->ui->fileRequests.size(), 2u);
    const plat::FileRequest& request = app_->ui->fileRequests.back();
    EXPECT_EQ(request.title, "Open Records File...");
    EXPECT_TRUE(request.mustExist);
    EXPECT_EQ(request.filters, app_->form->OpenDialog.filters);
    EXPECT_NE(app_->form->OpenDialog.title, "Open Records File...");  // the shared dialog's own
    EXPECT_EQ(RecordsWindow::Last()->Path(), path);
    EXPECT_EQ(RecordsWindow::Last()->parent(), app_->form);
    EXPECT_TRUE(RecordsWindow::Last()->isWindow());
    EXPECT_EQ(RecordsWindow::Last()->Model()->rowCount(), 300);
    // The terminal is not blocked by the window.
    app_->sim.Send(Bytes("still here"));
    EXPECT_TRUE(WaitUntil([&] { return app_->TerminalText().endsWith("still here"); }));
}

TEST_F(RecordsFromApp, GetRecordsOpensTheWindowOnTheNewFile) {
    brenvix::SimConfig config;
    StartApp(config);
    const QString path = app_->home.Path("records.txt");
    app_->ui->files.push_back(path);
    app_->form->GetRecords1Click();
    ASSERT_TRUE(Opened());
    RecordsWindow* window = RecordsWindow::Last();
    EXPECT_EQ(window->Path(), path);
    EXPECT_TRUE(window->isVisible());
    // Every value as the download wrote it, worked out from what the instrument holds.
    const viewer_test::Rows want = viewer_test::ExpectedRows(config.records);
    const RecordsModel* model = window->Model();
    ASSERT_EQ(model->rowCount(), int(want.size()));
    ASSERT_EQ(model->columnCount(), 5);
    for (int r = 0; r < model->rowCount(); ++r) {
        for (int c = 0; c < 5; ++c) {
            ASSERT_EQ(model->index(r, c).data().toString().toStdString(),
                      want[size_t(r)][size_t(c)])
                << r << ", " << c;
        }
    }
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), "TEMP\nDEG C");
}

TEST_F(RecordsFromApp, ADownloadEndedEarlyShowsWhatItGot) {
    brenvix::SimConfig config;
    config.faults[10] = brenvix::Fault::EarlyEot;
    StartApp(config);
    app_->ui->files.push_back(app_->home.Path("early.txt"));
    app_->form->GetRecords1Click();
    ASSERT_TRUE(app_->TerminalText().endsWith("RECORDS RECEIVED: 20 of 300\n"));
    ASSERT_TRUE(Opened());
    EXPECT_EQ(RecordsWindow::Last()->Model()->rowCount(), 20);
}

TEST_F(RecordsFromApp, NoWindowWithoutRecords) {
    brenvix::SimConfig config;
    config.scriptedReplies[0x02] = {"SENDING RECORDS NOW...\r\n"};
    config.scriptedReplies[0x15] = {"\x04"};  // EOT at once
    StartApp(config);
    app_->ui->files.push_back(app_->home.Path("empty.txt"));
    app_->form->GetRecords1Click();
    ASSERT_TRUE(app_->TerminalText().endsWith("RECORDS RECEIVED: 0 of 0\n"));
    EXPECT_FALSE(Opened());
    app_->ui->files.push_back(std::nullopt);
    app_->form->GetRecords1Click();  // cancelled
    EXPECT_FALSE(Opened());
    EXPECT_TRUE(app_->ui->messages.empty());
}

}  // namespace
}  // namespace ventaro::testing
