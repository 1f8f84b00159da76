// Send Pgm: the handshake, Ctrl-D, then the file's text one byte at a time
// at a fixed pace, with the port taken from the receive thread for the whole
// send. The pace does not depend on the line rate: every byte first waits
// for the output queue to drain, then the waits of the table below.
#pragma once

#include "device/transfer_guard.h"

#include <cstdint>
#include <string>

namespace ventaro {

TransferOutcome RunProgramSend();

struct SendStep {
    std::string bytes;  // what goes on the line for one byte of the file
    int waitBeforeMs = 0;
    int waitAfterEachMs = 0;
    bool transmitAhead = false;  // sent as a single transmitted character
};

SendStep SendStepFor(uint8_t byte);
// Percentage of the file handled, truncated.
uint32_t SendProgress(uint64_t handled, uint64_t length);

// The terminal echo of one byte: a CR LF pair is one line break.
class SendEcho {
  public:
    // The text to insert for this byte (may be empty).
    std::string Next(uint8_t byte);

  private:
    bool afterCr_ = false;
};

}  // namespace ventaro
