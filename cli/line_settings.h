// The port and line settings a run of ventaro-cli uses.
//
// They start as the windowed program stored them: section [Ventaro] of the
// settings file, keys "Port", "Baud", "Bits" and "Parity", each an index
// into the tables of serial/comm_port.h. A missing key, a value that is not
// an integer, or an index outside its table gives that table's default, as
// in the windowed program. The command line's choices go over them; a
// device path given with --port stands for the selected port name in this
// process only, and the settings file is never written.
#pragma once

#include "cli/arguments.h"

namespace ventaro::cli {

struct LineIndices {
    int port = 0;
    int baud = 0;
    int bits = 0;
    int parity = 0;
};

LineIndices StoredLineIndices();
// Sets PortIndex, BaudIndex, BitsIndex, ParityIndex (and the device override).
void ApplyLineChoice(const Options& options);

}  // namespace ventaro::cli
