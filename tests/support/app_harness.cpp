#include "tests/support/app_harness.h"

#include "about/about_dialog.h"
#include "app/application.h"
#include "serial/comm_properties.h"
#include "serial/serial_state.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QThread>

#include <gtest/gtest.h>

namespace ventaro::testing {

bool WaitUntil(const std::function<bool()>& pred, std::chrono::milliseconds limit) {
    QElapsedTimer timer;
    timer.start();
    while (!pred()) {
        if (timer.elapsed() > limit.count()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    return true;
}

TestHome::TestHome() {
    QDir().mkpath(ConfigDir() + QStringLiteral("/Ventaro"));
    QDir().mkpath(RuntimeDir());
    QFile::setPermissions(RuntimeDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_CONFIG_HOME", ConfigDir().toUtf8());
    qputenv("XDG_RUNTIME_DIR", RuntimeDir().toUtf8());
}

void TestHome::PointPort(const QString& portName, const QString& device) {
    QSettings settings(ConfigDir() + QStringLiteral("/Ventaro/Ventaro.conf"), QSettings::IniFormat);
    settings.setValue(QStringLiteral("PortDevices/") + portName, device);
}

AppHarness::AppHarness(brenvix::SimConfig config) : sim(std::move(config)) {
    device = QString::fromStdString(sim.OpenPty());
    PointCom2(device);
    ui = &InstallScriptedUi();
}

AppHarness::~AppHarness() {
    Close();
    delete form;  // and the dialogs it owns
    MainForm = nullptr;
    PropDlg = nullptr;
    AboutDlg = nullptr;
    sim.Stop();
}

void AppHarness::Start() {
    sim.Start();
    form = CreateForms();
}

void AppHarness::Close() {
    if (form && form->isVisible()) {
        form->close();
    }
    ShutDownAfterExit();
}

QString AppHarness::TerminalText() const {
    return form ? form->Memo1->Text() : QString();
}

QString AppHarness::Panel(int index) const {
    return form ? form->StatusBar1->PanelText(index) : QString();
}

void AppHarness::Screenshot(QWidget* widget, const QString& name) const {
    const QString dir = qEnvironmentVariable("VENTARO_SCREENSHOT_DIR");
    if (dir.isEmpty() || QGuiApplication::platformName() != QStringLiteral("xcb")) {
        return;
    }
    QDir().mkpath(dir);
    widget->grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

int RunWindowedTests(int argc, char** argv, bool preferX) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        const bool x = preferX && !qEnvironmentVariableIsEmpty("DISPLAY");
        qputenv("QT_QPA_PLATFORM", x ? "xcb" : "offscreen");
    }
    ::testing::InitGoogleTest(&argc, argv);
    VentaroApplication app(argc, argv);
    return RUN_ALL_TESTS();
}

}  // namespace ventaro::testing
