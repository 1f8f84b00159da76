#include "serial/receive_filter.h"

#include <cstring>

namespace ventaro {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// Appends while leaving room for the closing zero.
struct Writer {
    std::span<char> out;
    size_t length = 0;
    void Put(char c) {
        if (length + 1 < out.size()) {
            out[length++] = c;
        }
    }
    void Close() {
        if (!out.empty()) {
            out[length] = '\0';
        }
    }
};

void PutPlain(Writer& w, uint8_t byte, CaptureKind mode) {
    switch (byte) {
        case 0xDF:
            w.Put(char(mode == CaptureKind::AsciiCapture ? 0xB0 : 0xDF));
            break;
        case 0x0A:
            break;
        case 0x0D:
            w.Put('\r');
            w.Put('\n');
            break;
        default:
            w.Put(char(byte));
    }
}

void PutHex(Writer& w, uint8_t byte, int& hexColumn) {
    w.Put('[');
    w.Put(kHexDigits[byte >> 4]);
    w.Put(kHexDigits[byte & 0x0F]);
    w.Put(']');
    hexColumn += 4;
    if (hexColumn >= kHexLineChars) {
        w.Put('\r');
        w.Put('\n');
        hexColumn = 0;
    }
}

}  // namespace

FilteredBlock FilterBlock(std::span<const uint8_t> block, bool hexView, CaptureKind mode,
                          int& hexColumn, std::span<char> display, std::span<char> hex,
                          void (*perByte)()) {
    Writer plain{display};
    Writer hexText{hex};
    for (uint8_t byte : block) {
        if (perByte) {
            perByte();
        }
        if (hexView) {
            PutHex(hexText, byte, hexColumn);
        }
        PutPlain(plain, byte, mode);
    }
    plain.Close();
    hexText.Close();
    return {plain.length, hexText.length};
}

size_t TextLength(std::span<const char> text) {
    return ::strnlen(text.data(), text.size());
}

}  // namespace ventaro
