#include "serial/codepage.h"

#include <array>

namespace ventaro {
namespace {

// 0x80 to 0x9F; unassigned bytes map to themselves.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

QString FromWindows1252(std::string_view bytes) {
    QString text(qsizetype(bytes.size()), Qt::Uninitialized);
    QChar* out = text.data();
    for (char c : bytes) {
        auto byte = static_cast<unsigned char>(c);
        *out++ = (byte >= 0x80 && byte < 0xA0) ? QChar(kHighControls[byte - 0x80]) : QChar(byte);
    }
    return text;
}

std::optional<unsigned char> ToWindows1252(QChar c) {
    const char16_t u = c.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
        return static_cast<unsigned char>(u);
    }
    for (size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == u) {
            return static_cast<unsigned char>(0x80 + i);
        }
    }
    return std::nullopt;
}

}  // namespace ventaro
