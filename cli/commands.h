// The commands of ventaro-cli, each a thin wrapper around the windowed
// program's own handler code: the same download loop, capture, send and
// command primitives run here, and only the outcome is turned into an exit
// code and a line of explanation.
//
// They rely on the session (cli/session.h) having installed the console
// view and services and opened the port. A capture ends on the receive
// thread, so waiting for one runs the event loop; so does the quiet period
// after a one-key command. Every wait stops early once an interrupt has set
// ApplicationTerminated().
#pragma once

#include "cli/arguments.h"
#include "cli/console_view.h"

namespace ventaro::cli {

enum ExitCode : int {
    kExitOk = 0,
    kExitRefused = 1,  // the instrument refused, was silent, or the user's answer was No
    kExitUsage = 2,
    kExitPort = 3,
    kExitFile = 4,
    kExitGaveUp = 5,
    kExitInterrupted = 130,
};

// A command that talks to the instrument; the port is open.
int RunInstrumentCommand(ConsoleView& view, const Options& options);
// Needs no port: the names, their devices and the machine's serial devices.
int ListPorts(const Sink& out);

}  // namespace ventaro::cli
