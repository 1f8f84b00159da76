// A virtual line in front of an Instrument: the test plays the receiving side with a clock it
// moves by hand, so timing rules (reply delays, stalls, silences) are checked exactly and fast.
#pragma once

#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "sim/instrument.h"

namespace simtest {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
using TimePoint = brenvix::Instrument::TimePoint;

inline std::string Text(const Bytes& b) {
    return std::string(b.begin(), b.end());
}

class VirtualLine {
  public:
    explicit VirtualLine(brenvix::Instrument& inst) : inst_(inst) { inst_.Start(now_); }

    void Put(std::initializer_list<uint8_t> bytes) { Put(Bytes(bytes)); }
    void Put(const Bytes& bytes) { inst_.Receive(bytes, now_); }
    void Advance(std::chrono::milliseconds d) {
        now_ += d;
        inst_.Tick(now_);
    }

    // Like a read with a total time-out: returns at most `max` bytes that arrive within
    // `window` of now. The clock moves to the arrival of the last byte taken, or to the end
    // of the window when fewer than `max` came.
    Bytes Read(std::chrono::milliseconds window = 1300ms, size_t max = SIZE_MAX) {
        const TimePoint end = now_ + window;
        Bytes out;
        while (out.size() < max) {
            // Timers too: a busy instrument makes its lines only when its time comes.
            const auto at = inst_.NextEvent();
            if (!at || *at > end) {
                break;
            }
            if (*at > now_) {
                now_ = *at;
            }
            inst_.Tick(now_);
            inst_.TakeDue(now_, max - out.size(), &out);
        }
        if (out.size() < max) {
            now_ = end;
            inst_.Tick(now_);
        }
        return out;
    }

    // What a careful XMODEM receiver does before a NAK: drop whatever is still arriving.
    void Purge() { Read(200ms); }

    TimePoint now() const { return now_; }

  private:
    brenvix::Instrument& inst_;
    TimePoint now_ = TimePoint{} + std::chrono::hours(1);
};

// A block as the sender must build it, restated here rather than taken from the simulator.
inline Bytes ExpectedBlock(int ordinal, const brenvix::Payload& payload) {
    Bytes b{0x01, static_cast<uint8_t>(ordinal % 256), static_cast<uint8_t>(255 - ordinal % 256)};
    unsigned sum = 0;
    for (uint8_t p : payload) {
        b.push_back(p);
        sum += p;
    }
    b.push_back(static_cast<uint8_t>(sum % 256));
    return b;
}

struct Download {
    std::vector<brenvix::Payload> payloads;  // accepted, in order
    std::vector<int> numbers;                // the block number of each accepted block
    bool sawEot = false;
    int naks = 0;
};

// A plain XMODEM-checksum receiver: NAK to start and after any fault (purging first), ACK a
// good block, ACK and drop a repeat of the previous block, ACK the EOT.
inline Download ReceiveAll(VirtualLine& line, bool sendRequest = true) {
    Download d;
    if (sendRequest) {
        line.Put({0x02});
        line.Read(300ms);
    }
    line.Put({0x15});
    ++d.naks;
    uint8_t expect = 1;
    for (int pass = 0; pass < 5000; ++pass) {
        const Bytes got = line.Read(1300ms, 132);
        if (got.size() == 1 && got[0] == 0x04) {
            line.Put({0x06});
            d.sawEot = true;
            return d;
        }
        bool good = got.size() == 132 && got[0] == 0x01 && got[2] == 255 - got[1];
        if (good) {
            unsigned sum = 0;
            for (size_t i = 3; i < 131; ++i) {
                sum += got[i];
            }
            good = sum % 256 == got[131];
        }
        if (good && got[1] == expect) {
            brenvix::Payload p{};
            std::copy(got.begin() + 3, got.begin() + 131, p.begin());
            d.payloads.push_back(p);
            d.numbers.push_back(got[1]);
            ++expect;
            line.Put({0x06});
        } else if (good && got[1] == static_cast<uint8_t>(expect - 1)) {
            line.Put({0x06});
        } else {
            line.Purge();
            line.Put({0x15});
            ++d.naks;
        }
    }
    return d;
}

}  // namespace simtest
