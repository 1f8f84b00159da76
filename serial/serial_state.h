// Process-wide state of the serial link, shared by the main thread and the
// receive thread. Whatever one thread writes and the other reads is atomic;
// the rest is touched by one thread at a time, in the order the port
// hand-over and the capture start and end give it.
#pragma once

#include "platform/serial_port.h"
#include "serial/receive_filter.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace ventaro {

class TRead;

extern std::atomic<plat::PortHandle> CommHandle;
extern std::atomic<uint8_t> PortReady;
extern std::atomic<CaptureKind> CaptureMode;
extern std::atomic<int> HexView;
extern std::atomic<uint32_t> BytesReceived;
extern int HexColumn;  // receive thread only

extern int PortIndex;
extern int BaudIndex;
extern int BitsIndex;
extern int ParityIndex;

extern plat::CommTimeouts PortTimeouts;
extern plat::CommTimeouts SavedTimeouts;

extern TRead* ReadThread;

// The running capture: filled by the receive thread, handed over to it by the
// capture command and given back at its end. It grows as needed, so a user
// program is never cut short.
extern std::string CaptureBuffer;
extern std::FILE* CaptureFile;

extern std::array<uint8_t, kReceiveBlockSize> ReceiveBlock;
extern std::array<char, kDisplayTextSize> DisplayText;
extern std::array<char, kHexTextSize> HexText;

}  // namespace ventaro
