// One run of ventaro-cli, started and ended as the windowed program starts
// and ends, minus the window.
//
// Start: the line settings (cli/line_settings.h), the console view and
// services installed, CaptureMode Terminal and no port, the receive thread
// created running, OpenCommPort, then the break-in byte 0x03, as the window
// sends it at start-up. End, whatever happened in between (an interrupt
// included): CloseCommPort, which gives the port its saved time-outs back,
// stops and joins the receive thread, and writes a running capture to its
// file.
//
// A port that does not open is reported with OpenCommPort's own message,
// then with the system's reason, found by opening the device once more.
#pragma once

#include "cli/arguments.h"

namespace ventaro::cli {

// Returns the exit code. Needs a QCoreApplication.
int Run(const Options& options);

}  // namespace ventaro::cli
