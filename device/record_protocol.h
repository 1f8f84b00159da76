// The receiving side of a records download, as a state machine over whole reads.
//
// How it works: the loop around it reads up to 132 bytes (the read ends at 132 bytes or at the
// 1300 ms time-out) and hands them to OnRead. The receiver judges the read, updates its counters
// and returns a Step: a list of actions for the loop to carry out in order (beep, show a line,
// store the payload, clear the port's errors, wait, send a byte, yield, show the progress) and
// whether the download goes on, has given up or has ended with EOT. It has no clock, no port and
// no file, so every rule can be driven with bytes alone.
//
// Relies on: each read being judged on the bytes that arrived in it; nothing is remembered from an
// earlier read. Two departures from the instrument's historic receiver: an empty read does not
// step the expected block number back, and a clean repeat of the block just accepted (its ACK was
// lost) is acknowledged without being stored or counted as an error.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "device/records_file.h"

namespace ventaro {

inline constexpr uint8_t kSoh = 0x01;
inline constexpr uint8_t kBreakIn = 0x03;
inline constexpr uint8_t kEot = 0x04;
inline constexpr uint8_t kAck = 0x06;
inline constexpr uint8_t kNak = 0x15;
inline constexpr size_t kRecordBlockSize = 132;
inline constexpr int kRecordReadTimeoutMs = 1300;
inline constexpr int kEmptyReadWaitMs = 500;
inline constexpr int kPacketErrorWaitMs = 250;

enum class BlockVerdict {
    Accept,         // the block expected next, whole and sound
    Repeat,         // the block just accepted, whole and sound again
    Mismatch,       // sound complement, but not the number expected (nor a clean repeat)
    BadComplement,  // byte 2 is not the ones' complement of byte 1
    BadChecksum,
    Short,  // not exactly 132 bytes; checks needing the missing bytes fail
    NotSoh,
    Eot,
    Empty,  // nothing within the time-out, or the read failed
};

// Judges one read. lastBlock is the number of the last accepted block, anyAccepted whether
// there was one (before it, a block numbered like lastBlock is no repeat).
BlockVerdict JudgeBlock(std::span<const uint8_t> bytes, uint8_t lastBlock, bool anyAccepted);

enum class ActionKind {
    Beep,
    Show,         // insert text into the terminal and repaint it
    Store,        // StoreRecordBlock(step.ordinal, step.payload)
    ClearErrors,  // clear the port's error state; what it reports is not used
    Wait,         // sleep value milliseconds
    Send,         // transmit the byte in value
    Yield,        // give up the processor (a zero-length wait)
    ShowStatus,   // progress text into the status bar: StatusText(...) with the current counts
};

struct Action {
    ActionKind kind;
    int value = 0;
    std::string text;

    bool operator==(const Action&) const = default;
};

enum class StepEnd {
    Continue,  // read again
    GiveUp,    // too many failures in a row; the actions have sent 0x03: go to the ending
    Eot,       // the instrument has no more blocks: go to the ending
};

struct Step {
    BlockVerdict verdict = BlockVerdict::Empty;
    std::vector<Action> actions;
    StepEnd end = StepEnd::Continue;
    uint32_t ordinal = 0;  // for a Store action
    std::array<uint8_t, kRecordPayloadSize> payload{};
};

enum class ReceiverState { Receiving, GaveUp, GotEot };

class RecordReceiver {
  public:
    // Once the download has ended, further reads change nothing and repeat the end.
    Step OnRead(std::span<const uint8_t> bytes);

    ReceiverState State() const { return state_; }
    bool Receiving() const { return state_ == ReceiverState::Receiving; }
    uint8_t LastBlock() const { return lastBlock_; }
    // One below LastBlock as of the last acceptance. The historic receiver stepped back to it
    // after an empty read; kept so the state reads as it always has.
    uint8_t PreviousBlock() const { return previousBlock_; }
    uint32_t BlockCount() const { return blockCount_; }
    uint32_t ErrorCount() const { return errorCount_; }

  private:
    void OnEmpty(Step& step);
    void OnPacketError(Step& step, std::span<const uint8_t> bytes);
    void OnAccept(Step& step, std::span<const uint8_t> bytes);
    // Counts a failure; true (and 0x03 queued) when it is one too many.
    bool CountError(Step& step, uint32_t limit);

    ReceiverState state_ = ReceiverState::Receiving;
    uint8_t lastBlock_ = 0;
    uint8_t previousBlock_ = 0;
    uint32_t blockCount_ = 0;
    uint32_t errorCount_ = 0;
};

// "Record: %u of %u  Errors: %d", the progress text of a running download.
std::string StatusText(int recordCount, int recordsExpected, uint32_t errorCount);
// "RECORDS RECEIVED: %u of %u\r\n", shown when the download has ended.
std::string ReceivedText(int recordCount, int recordsExpected);

}  // namespace ventaro
