// What a simulated instrument is told to be, and what it reports about a records transfer.
//
// How it works: a SimConfig is copied into the instrument when it is made and never changes
// afterwards, so a test states everything up front (mode, timing, programs, records and the
// faults to inject by block ordinal). All generated data comes from `seed`, so two runs with
// the same config put the same bytes on the line.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sim/records.h"

namespace brenvix {

// A fault fires once, at its block ordinal (1-based, the header block is 1).
enum class Fault {
    None,
    Drop,           // not sent this time (the receiver times out); sent normally on the next NAK
    BadChecksum,    // corrupted once; correct on the resend after NAK
    BadComplement,  // byte 2 is not 255 - number; correct on the resend
    WrongNumber,    // number one too high (complement consistent); correct on the resend
    Duplicate,      // after its ACK the same block goes again, once, instead of the next one
    Short,          // only the first 100 bytes; correct on the resend
    Noise,          // a few junk bytes (never SOH or EOT) right before the block
    Stall,          // the block starts 1600 ms after the request (beyond a 1300 ms read)
    EarlyEot,       // EOT instead of this block: the download ends early
    LostAck,        // the ACK for this block is ignored: waits for a NAK and sends it again
};

const char* FaultName(Fault f);

struct SimConfig {
    bool operateMode = false;   // in operate mode Ctrl-P answers with a text containing "EXIT"
    int operateIntervalMs = 0;  // >0: in operate mode, a line of data of its own at this interval
    bool busy = false;          // sends data of its own all the time
    int replyDelayMs = 0;       // delay before every reply to a command
    int baud = 0;               // 0: unpaced; else output paced at 10 bits per character
    uint32_t seed = 1;          // all generated data is deterministic from this
    std::vector<uint8_t> program;       // sent on Ctrl-U (0x15) outside a records transfer
    std::vector<uint8_t> asciiProgram;  // sent on Ctrl-A (0x01)
    RecordsSet records = DemoRecords();
    std::map<int, Fault> faults;       // by block ordinal
    bool plainXmodemSender = false;    // blocks start on the first NAK, no 0x02 request needed
    bool answerRecordsRequest = true;  // false: 0x02 gets no reply (a silent instrument)
    // Replies that take the place of the built-in ones, in order, per command byte (outside any
    // transfer); an empty reply means silence. Once a byte's list is used up, the built-in
    // answer comes back.
    std::map<uint8_t, std::vector<std::string>> scriptedReplies;
};

// Statistics of the current (or last) records transfer; reset when a new one is requested.
struct TransferStats {
    int blocksSent = 0;    // every block put on the line: resends, corrupted and duplicates too
    int naksReceived = 0;  // NAKs and ACKs received while the transfer ran
    int acksReceived = 0;
    bool eotSent = false;
    std::chrono::steady_clock::time_point firstNak, lastAck;
    uint64_t wireChars = 0;  // bytes both ways during the transfer: blocks, noise, EOT, NAK, ACK
};

}  // namespace brenvix
