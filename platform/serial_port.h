// Serial port access over POSIX termios, shaped after what the rest of the
// program expects of a port handle.
//
// Principles of operation:
// - A port is opened exclusively (TIOCEXCL plus an advisory flock, since root
//   is exempt from TIOCEXCL) and put in raw mode at once.
// - Reads honour a set of time-outs that belong to the device, not to the
//   handle: they are kept in a process-wide table keyed by device path, so a
//   program can read them when it opens the port and give them back when it
//   closes it. A read returns as soon as the count has arrived, or when the
//   total time-out runs out, with whatever came in meanwhile.
// - A read that finds the device gone (hang-up, EIO, EOF) returns false with
//   what it had; the caller must pace itself, as such a read returns at once.
// - Reads wait in slices of at most 50 ms, so that PurgeRxAbort can cut a
//   pending read short from another thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

struct termios;

namespace ventaro::plat {

using PortHandle = int;
inline constexpr PortHandle kNoPort = -1;

enum class PortError { None, NotFound, Busy, Permission, NotATty, Io };
const char* PortErrorText(PortError error);

struct CommTimeouts {
    uint32_t readIntervalTimeout = 0;
    uint32_t readTotalTimeoutMultiplier = 0;
    uint32_t readTotalTimeoutConstant = 0;
    uint32_t writeTotalTimeoutMultiplier = 0;
    uint32_t writeTotalTimeoutConstant = 0;
    bool operator==(const CommTimeouts&) const = default;
};

// An interval time-out of this value with zero totals makes a read return at
// once with what is already there.
inline constexpr uint32_t kReadReturnImmediately = 0xFFFFFFFFu;

struct LineSettings {
    int baud = 9600;
    char parity = 'N';  // 'N', 'O' or 'E'
    int dataBits = 8;
    int stopBits = 1;
    bool operator==(const LineSettings&) const = default;
};

// Parses a mode text such as "9600,N,8,1". Rates the tty layer cannot set are refused.
std::optional<LineSettings> ParseModeString(std::string_view mode);

PortHandle OpenPort(const std::string& device, PortError* error);
void ClosePort(PortHandle port);

// Queue sizes cannot be chosen on Linux: the tty layer's buffers are fixed.
bool SetupComm(PortHandle port, uint32_t inQueue, uint32_t outQueue);

bool GetCommTimeouts(PortHandle port, CommTimeouts* timeouts);
bool SetCommTimeouts(PortHandle port, const CommTimeouts& timeouts);
// The time-outs the table holds for a device path, for those who check what
// a close gave back.
CommTimeouts DeviceTimeouts(const std::string& device);

// Raw 8-bit line with the given rate, parity, bits and one stop bit; no
// XON/XOFF and no hardware flow control.
bool ApplyLineSettings(PortHandle port, const LineSettings& settings);
std::optional<LineSettings> ReadLineSettings(PortHandle port);
// The translation both use; a pseudo-terminal keeps only the rate, so the
// rest is checked here.
bool SettingsToTermios(const LineSettings& settings, termios* tio);
std::optional<LineSettings> TermiosToSettings(const termios& tio);

// Reads up to count bytes under the device's time-outs. *got is always set.
// Returns false when the port is not open or the device has gone.
bool ReadPort(PortHandle port, void* buffer, size_t count, size_t* got);
// The same, but it also returns as soon as complete() says the bytes read so
// far are all the caller needs (a lone end-of-transfer byte, say).
bool ReadPortUntil(PortHandle port, void* buffer, size_t count, size_t* got,
                   const std::function<bool(std::span<const uint8_t>)>& complete);

bool TransmitCommChar(PortHandle port, uint8_t byte);
bool WritePort(PortHandle port, const void* data, size_t count, size_t* written);

// Bytes still waiting in the driver's output queue; false when the status
// call fails (the device has gone, or no port).
bool OutputQueueCount(PortHandle port, uint32_t* count);

// Abandons reads in progress on the port; received bytes are kept.
bool PurgeRxAbort(PortHandle port);
// Discards whatever has been received and not yet read.
bool PurgeInput(PortHandle port);

}  // namespace ventaro::plat
