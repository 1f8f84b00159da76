// Deterministic texts the instrument makes up: its default user programs, the data lines it
// sends of its own accord, and the bulk stream for ingest benchmarks.
//
// How it works: a small xorshift generator seeded from SimConfig::seed. Nothing here depends on
// the standard library's distributions, whose output differs between implementations.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace brenvix {

class TextRng {
  public:
    explicit TextRng(uint32_t seed) : state_(seed == 0 ? 0x9E3779B9u : seed) {}
    uint32_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    // 0 to n - 1 (n > 0).
    uint32_t Below(uint32_t n) { return Next() % n; }

  private:
    uint32_t state_;
};

// A small user program, lines ending in CR LF.
std::vector<uint8_t> DefaultProgram(uint32_t seed);
// Its ASCII listing: CR LF line ends, 0xDF for the degree sign, well over 80 bytes.
std::vector<uint8_t> DefaultAsciiProgram(uint32_t seed);
// Exactly n bytes of printable lines ending in CR LF (the last line may be cut short).
std::vector<uint8_t> StreamText(size_t n, uint32_t seed);
// One line of logged data, e.g. "DATA 00012 +21.37 +055.2 12:00:05\r\n".
std::string DataLine(uint32_t sequence, TextRng& rng);

}  // namespace brenvix
