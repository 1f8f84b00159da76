// Payloads and blocks as the instrument lays them out, built by hand so that the tests do not
// lean on the code they check.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace records_test {

using Payload = std::array<uint8_t, 128>;
using Bytes = std::vector<uint8_t>;

inline void PutLe16(Payload& p, size_t at, int16_t v) {
    const auto u = static_cast<uint16_t>(v);
    p[at] = static_cast<uint8_t>(u & 0xFF);
    p[at + 1] = static_cast<uint8_t>(u >> 8);
}

inline void PutText(Payload& p, size_t at, const std::string& text) {
    std::memcpy(p.data() + at, text.data(), text.size());
}

inline void PutFloat(Payload& p, size_t index, float v) {
    uint32_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    for (size_t b = 0; b < 4; ++b) {
        p[4 * index + b] = static_cast<uint8_t>(bits >> (8 * b));
    }
}

inline Payload Header(const std::string& title1, const std::string& title2, int16_t total,
                      int16_t fields) {
    Payload p{};
    PutText(p, 0, title1);
    PutText(p, 32, title2);
    PutLe16(p, 64, total);
    PutLe16(p, 66, fields);
    return p;
}

inline Payload Formats(const std::vector<int16_t>& widths, const std::vector<int16_t>& precisions) {
    Payload p{};
    for (size_t i = 0; i < widths.size(); ++i) {
        PutLe16(p, 2 * i, widths[i]);
    }
    for (size_t i = 0; i < precisions.size(); ++i) {
        PutLe16(p, 50 + 2 * i, precisions[i]);
    }
    return p;
}

inline Payload Text(const std::string& text) {
    Payload p{};
    PutText(p, 0, text);
    return p;
}

inline Payload Values(const std::vector<float>& values) {
    Payload p{};
    for (size_t i = 0; i < values.size(); ++i) {
        PutFloat(p, i, values[i]);
    }
    return p;
}

// A whole block: SOH, number, its complement, the payload and the 8-bit sum of the payload.
inline Bytes Block(uint8_t number, const Payload& payload) {
    Bytes b{0x01, number, static_cast<uint8_t>(0xFF - number)};
    b.insert(b.end(), payload.begin(), payload.end());
    uint8_t sum = 0;
    for (uint8_t x : payload) {
        sum = static_cast<uint8_t>(sum + x);
    }
    b.push_back(sum);
    return b;
}

// A block whose payload is filled with `tag`, so that a stored payload says which block it was.
inline Bytes Tagged(uint8_t number, uint8_t tag) {
    Payload p;
    p.fill(tag);
    return Block(number, p);
}

inline Bytes Tagged(uint8_t number) {
    return Tagged(number, number);
}

}  // namespace records_test
