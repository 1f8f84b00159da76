// Turns one block read from the port into the texts the terminal shows.
//
// Plain text: line feeds are dropped, a carriage return becomes CR LF, 0xDF
// becomes 0xB0 (the degree sign) in an ASCII capture, every other byte,
// zero included, passes as it is. Readers cut the text at its first zero
// byte, so whatever follows a zero in a block is neither shown nor captured.
// Hex text: "[%02X]" per byte, CR LF after every 16th byte of the running
// line; the column carries over from block to block and view to view.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace ventaro {

enum class CaptureKind : int { Terminal = 0, ProgramCapture = 2, AsciiCapture = 3 };

inline constexpr size_t kReadSize = 1600;
inline constexpr size_t kReceiveBlockSize = 2000;
inline constexpr size_t kDisplayTextSize = 10000;
inline constexpr size_t kHexTextSize = 40000;
inline constexpr int kHexLineChars = 64;

struct FilteredBlock {
    size_t displayLength = 0;  // bytes written before the closing zero
    size_t hexLength = 0;
};

// Writes both texts, each closed by a zero byte; never past the given spans.
// perByte, when set, runs before each byte (the receive thread yields there).
FilteredBlock FilterBlock(std::span<const uint8_t> block, bool hexView, CaptureKind mode,
                          int& hexColumn, std::span<char> display, std::span<char> hex,
                          void (*perByte)() = nullptr);

// Length of a zero-terminated text held in a buffer of the given size.
size_t TextLength(std::span<const char> text);

}  // namespace ventaro
