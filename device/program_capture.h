// Get Pgm and Get ASCII Pgm: the handler asks for the file, runs the
// handshake, opens the file and hands the capture to the receive thread,
// then returns; the receive thread writes the file once the instrument has
// fallen silent.
#pragma once

#include "device/transfer_guard.h"
#include "serial/receive_filter.h"

#include <QString>

#include <cstdint>

namespace ventaro {

struct CaptureRequest {
    QString title;
    QString refusal;
    CaptureKind mode;
    uint8_t requestByte;
};

const CaptureRequest& GetPgmRequest();
const CaptureRequest& GetAsciiPgmRequest();
TransferOutcome RunProgramCapture(const CaptureRequest& request);

inline constexpr size_t kCaptureBufferSize = 20000;

}  // namespace ventaro
