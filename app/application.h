// The process entry: the single-instance guard, the start-up order, the
// event loop, and the last word on errors that escape a handler.
//
// The guard is a per-user local socket in $XDG_RUNTIME_DIR (or the temporary
// folder): the first instance listens on it; a second one connects, asks the
// first to bring its window forward, and ends with exit code 0 having shown
// nothing. A socket left behind by a crashed instance is removed.
#pragma once

#include <QApplication>
#include <QString>

namespace ventaro {

// Error texts get a full stop unless they end in one (or in something that
// sorts before it).
QString WithFullStop(const QString& text);

QString InstanceSocketPath();

// An application object that shows an exception escaping a handler in the
// error box, and goes on.
class VentaroApplication : public QApplication {
  public:
    VentaroApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Asks a running instance to come forward. True if there was one.
bool SignalRunningInstance();

class TMainForm;

// The main window (with its creation handler run), then the two dialogs.
TMainForm* CreateForms();
// Creates the windows and runs the event loop; returns the exit code.
int RunVentaro(VentaroApplication& app);
// Stops the receive thread and ends a running capture when the loop was left
// without the close path.
void ShutDownAfterExit();

}  // namespace ventaro
