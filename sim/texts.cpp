#include "sim/texts.h"

#include <cstdio>

namespace brenvix {

namespace {

void Append(std::vector<uint8_t>& out, const std::string& s) {
    out.insert(out.end(), s.begin(), s.end());
}

std::string Format(const char* fmt, int a, int b = 0, int c = 0) {
    char buf[128];
    std::snprintf(buf, sizeof buf, fmt, a, b, c);
    return buf;
}

}  // namespace

std::vector<uint8_t> DefaultProgram(uint32_t seed) {
    TextRng rng(seed);
    const int interval = 10 + static_cast<int>(rng.Below(50));
    const int channels = 2 + static_cast<int>(rng.Below(4));
    const int limit = 20 + static_cast<int>(rng.Below(15));
    std::vector<uint8_t> out;
    Append(out, "10 REM BRENVIX USER PROGRAM\r\n");
    Append(out, Format("20 INTERVAL %d\r\n", interval));
    Append(out, Format("30 FOR C = 1 TO %d\r\n", channels));
    Append(out, "40 SAMPLE C\r\n");
    Append(out, "50 STORE C\r\n");
    Append(out, "60 NEXT C\r\n");
    Append(out, Format("70 IF T1 > %d THEN ALARM 1\r\n", limit));
    Append(out, "80 GOTO 20\r\n");
    return out;
}

std::vector<uint8_t> DefaultAsciiProgram(uint32_t seed) {
    TextRng rng(seed ^ 0xA5A5A5A5u);
    const int interval = 10 + static_cast<int>(rng.Below(50));
    const int limit = 20 + static_cast<int>(rng.Below(15));
    std::vector<uint8_t> out;
    Append(out, "BRENVIX USER PROGRAM LISTING\r\n");
    Append(out, Format("STEP 1  SAMPLE EVERY %d S\r\n", interval));
    Append(out, "STEP 2  CHANNEL 1 TEMPERATURE IN ");
    out.push_back(0xDF);  // the instrument's degree sign
    Append(out, "C\r\n");
    Append(out, Format("STEP 3  ALARM ABOVE %d", limit));
    out.push_back(0xDF);
    Append(out, "C\r\n");
    Append(out, "STEP 4  STORE HOURLY MEANS\r\n");
    Append(out, "END OF LISTING\r\n");
    return out;
}

std::string DataLine(uint32_t sequence, TextRng& rng) {
    const int temp = static_cast<int>(rng.Below(6000)) - 1000;  // -10.00 to 49.99
    const int rh = static_cast<int>(rng.Below(1001));           // 0.0 to 100.0
    const uint32_t secs = sequence * 5;
    char buf[96];
    std::snprintf(buf, sizeof buf, "DATA %05u %+06.2f %05.1f %02u:%02u:%02u\r\n", sequence % 100000,
                  temp / 100.0, rh / 10.0, (secs / 3600) % 24, (secs / 60) % 60, secs % 60);
    return buf;
}

std::vector<uint8_t> StreamText(size_t n, uint32_t seed) {
    TextRng rng(seed);
    std::vector<uint8_t> out;
    out.reserve(n + 64);
    uint32_t seq = 0;
    while (out.size() < n) {
        Append(out, DataLine(seq++, rng));
    }
    out.resize(n);
    return out;
}

}  // namespace brenvix
