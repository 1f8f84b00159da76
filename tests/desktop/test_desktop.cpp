// Under a real X server (Xvfb in the test command): pasting from a clipboard
// nobody owns, and screenshots of the windows for a person to look at. Also
// the single-instance guard, with the real program started twice.
#include "serial/serial_state.h"
#include "tests/support/app_harness.h"

#include <QClipboard>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

namespace ventaro::testing {
namespace {

bool OnX() {
    return QGuiApplication::platformName() == QStringLiteral("xcb");
}

TEST(Desktop, PastingFromAnEmptyClipboardDoesNotCrash) {
    if (!OnX()) {
        GTEST_SKIP() << "needs an X server";
    }
    AppHarness app;
    app.Start();
    ASSERT_TRUE(app.sim.WaitForReceived(1, 5s));
    QApplication::clipboard()->clear(QClipboard::Clipboard);
    QApplication::clipboard()->clear(QClipboard::Selection);
    TMemo* memo = app.form->Memo1;
    memo->setFocus();
    QTest::keyClick(memo, Qt::Key_Insert, Qt::ShiftModifier);
    QTest::mouseClick(memo->viewport(), Qt::MiddleButton, {}, QPoint(20, 20));
    QTest::keyClick(memo, Qt::Key_V, Qt::ControlModifier);
    ASSERT_TRUE(app.sim.WaitForReceived(2, 5s));
    EXPECT_EQ(app.sim.ReceivedBytes(), (std::vector<uint8_t>{0x03, 0x16}));
    EXPECT_TRUE(memo->Text().isEmpty());
}

TEST(Desktop, MainWindowScreenshot) {
    if (!OnX()) {
        GTEST_SKIP() << "needs an X server";
    }
    brenvix::SimConfig config;
    config.operateMode = true;
    config.operateIntervalMs = 100;
    AppHarness app(config);
    app.Start();
    ASSERT_TRUE(WaitUntil([&] { return app.TerminalText().count(QLatin1Char('\n')) >= 5; }));
    app.Screenshot(app.form, QStringLiteral("main-window"));
    app.form->HexClick();
    ASSERT_TRUE(WaitUntil([&] { return app.TerminalText().contains(QLatin1Char('[')); }));
    WaitUntil([&] { return app.TerminalText().count(QLatin1Char('[')) > 64; });
    app.Screenshot(app.form, QStringLiteral("main-window-hex"));
    EXPECT_EQ(app.Panel(0), "COM2");
}

// Starts the real program with its own settings and runtime folders.
class Instance {
  public:
    Instance(const TestHome& home) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", home.ConfigDir());
        env.insert("XDG_RUNTIME_DIR", home.RuntimeDir());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        process.setProcessEnvironment(env);
    }
    QProcess process;
};

TEST(Desktop, SecondStartEndsAtOnceAndLeavesTheFirstRunning) {
    TestHome home;
    brenvix::Simulator sim;
    home.PointPort("COM2", QString::fromStdString(sim.OpenPty()));
    sim.Start();
    Instance first(home);
    first.process.start(VENTARO_EXECUTABLE, {});
    ASSERT_TRUE(first.process.waitForStarted());
    // The first instance is up once its start-up byte has arrived.
    ASSERT_TRUE(sim.WaitForReceived(1, 20s));
    Instance second(home);
    second.process.start(VENTARO_EXECUTABLE, {});
    ASSERT_TRUE(second.process.waitForFinished(10000));
    EXPECT_EQ(second.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.process.exitCode(), 0);
    // The second start touched no port.
    EXPECT_EQ(sim.ReceivedBytes().size(), 1u);
    EXPECT_EQ(first.process.state(), QProcess::Running);
    first.process.terminate();
    first.process.waitForFinished(10000);
}

}  // namespace
}  // namespace ventaro::testing

int main(int argc, char** argv) {
    return ventaro::testing::RunWindowedTests(argc, argv, true);
}
