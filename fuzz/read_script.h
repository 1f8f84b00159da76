// How fuzz_records reads its input: a script of reads for the block receiver.
//
// How it works: each entry starts with one control byte. Its low two bits pick the kind of read:
// 0 a raw read (next byte: its length, then that many bytes, cut short by the end of the input),
// 1 a block built from the next 128 bytes, 2 an empty read, 3 EOT. For a built block, bits 2-3
// pick its number (0: the one expected, 1: the last accepted again, 2: the next input byte,
// 3: two ahead), bit 4 spoils its checksum, bit 5 its complement, and bit 6 cuts it to the next
// input byte's length. Built blocks let the fuzzer past the checksum, so the decoder behind the
// receiver sees payloads it chose.
//
// Relies on: nothing but the standard library; the seed generator writes the same script.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace fuzz_script {

enum Kind : uint8_t { kRaw = 0, kBuilt = 1, kEmpty = 2, kEot = 3 };
enum Number : uint8_t { kExpected = 0, kRepeat = 1, kGiven = 2, kAhead = 3 };
inline constexpr uint8_t kSpoilSum = 0x10;
inline constexpr uint8_t kSpoilComplement = 0x20;
inline constexpr uint8_t kCut = 0x40;

inline constexpr uint8_t Control(Kind kind, Number number = kExpected, uint8_t flags = 0) {
    return static_cast<uint8_t>(kind | (number << 2) | flags);
}

// Takes bytes off the front of the input; past its end every byte reads as 0.
class Reader {
  public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool AtEnd() const { return at_ >= size_; }
    uint8_t Next() { return at_ < size_ ? data_[at_++] : 0; }
    std::vector<uint8_t> Take(size_t n) {
        const size_t take = n < size_ - at_ ? n : size_ - at_;
        std::vector<uint8_t> out(data_ + at_, data_ + at_ + take);
        at_ += take;
        return out;
    }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

// The 132 bytes of a block, or fewer when the control byte cuts it.
inline std::vector<uint8_t> BuildBlock(uint8_t control, uint8_t number, Reader& in) {
    std::vector<uint8_t> block{0x01, number, static_cast<uint8_t>(0xFF - number)};
    uint8_t sum = 0;
    for (int i = 0; i < 128; ++i) {
        const uint8_t b = in.Next();
        block.push_back(b);
        sum = static_cast<uint8_t>(sum + b);
    }
    block.push_back(control & kSpoilSum ? static_cast<uint8_t>(sum + 1) : sum);
    if (control & kSpoilComplement) {
        block[2] = static_cast<uint8_t>(block[2] ^ 0x5A);
    }
    if (control & kCut) {
        block.resize(in.Next() % block.size());
    }
    return block;
}

}  // namespace fuzz_script
