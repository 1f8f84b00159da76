// The instrument speaks single bytes in the Windows ANSI code page (1252).
// Decoding is a table: bytes below 0x80 and from 0xA0 up are Latin-1; the
// five bytes 0x80-0x9F that the code page leaves empty keep their Latin-1
// code point rather than vanishing.
#pragma once

#include <QString>

#include <optional>
#include <string_view>

namespace ventaro {

QString FromWindows1252(std::string_view bytes);
// The byte a character stands for, if the code page has one.
std::optional<unsigned char> ToWindows1252(QChar c);

}  // namespace ventaro
