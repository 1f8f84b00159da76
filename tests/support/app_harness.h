// The application, in this process, against the simulator on a pseudo-terminal.
//
// Every harness gets its own settings folder and runtime folder
// (XDG_CONFIG_HOME, XDG_RUNTIME_DIR), points COM2 at the simulator through
// the settings file, installs scripted desktop services, and creates the
// main window as the process entry does.
#pragma once

#include "app/main_window.h"
#include "sim/simulator.h"
#include "tests/support/scripted_ui.h"

#include <QTemporaryDir>

#include <chrono>
#include <functional>

namespace ventaro::testing {

using namespace std::chrono_literals;

// Runs the event loop until pred holds or the limit passes.
bool WaitUntil(const std::function<bool()>& pred, std::chrono::milliseconds limit = 10s);

class TestHome {
  public:
    TestHome();
    QString ConfigDir() const { return dir_.path() + QStringLiteral("/config"); }
    QString RuntimeDir() const { return dir_.path() + QStringLiteral("/runtime"); }
    QString Path(const QString& name) const { return dir_.path() + QLatin1Char('/') + name; }
    void PointPort(const QString& portName, const QString& device);

  private:
    QTemporaryDir dir_;
};

class AppHarness {
  public:
    explicit AppHarness(brenvix::SimConfig config = {});
    ~AppHarness();

    // Points COM2 somewhere else before Start (e.g. at nothing).
    void PointCom2(const QString& device) { home.PointPort(QStringLiteral("COM2"), device); }
    void Start();
    void Close();
    QString TerminalText() const;
    QString Panel(int index) const;
    // Under a real X server with VENTARO_SCREENSHOT_DIR set: the window as a PNG.
    void Screenshot(QWidget* widget, const QString& name) const;

    TestHome home;
    brenvix::Simulator sim;
    QString device;
    ScriptedUi* ui = nullptr;
    TMainForm* form = nullptr;
};

// main() of the windowed suites: the offscreen platform unless preferX and a
// display are there.
int RunWindowedTests(int argc, char** argv, bool preferX);

}  // namespace ventaro::testing
