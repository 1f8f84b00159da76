// The receive thread and the terminal display.
//
// Principles of operation:
// - The thread reads the port in blocks of up to 1600 bytes whenever the
//   port is shared (PortReady set and a port open); each read returns within
//   the port's 50 ms time-out, so the thread notices a hold or a stop request
//   quickly. It parks itself before every read while a hold is in force.
// - In terminal mode each block becomes display text that the main thread
//   inserts into the terminal (the thread never touches a widget itself: it
//   hands the work over and waits for it to be done).
// - In a capture the text goes to CaptureBuffer instead; a run of empty reads
//   means the instrument has finished, and FinishCapture writes the file.
// - A read that fails at once (the device has gone) counts as an empty read
//   and is followed by a pause, so a vanished adapter costs no CPU.
#pragma once

#include "platform/thread.h"

#include <QString>

namespace ventaro {

class TRead : public plat::Thread {
  public:
    explicit TRead(bool createSuspended);

    // Main thread: writes what the capture holds, as the instrument falling
    // silent would, when the program closes during a capture.
    static void FinishCaptureAtClose();

  protected:
    void Execute() override;

  private:
    void HandleRead(size_t count, int& emptyReads);
    void FilterReceived(size_t count);
    void FinishCapture();
};

// Main thread: the text of the last block (or of a finished capture) into the terminal.
void ShowReceived();
// Main thread: the terminal's key handler; key may be set to 0 to discard it.
void Memo1KeyPress(char& key);

// Empty reads in a row that end a capture.
int CaptureIdleLimit(int captureMode, size_t capturedLength);

}  // namespace ventaro
