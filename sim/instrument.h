// The Brenvix as a protocol machine: bytes and the time in, timed bytes out.
//
// How it works
// - Receive() takes what arrived on the line, with the time it arrived. Every reply is put on an
//   output schedule as a chunk with the time it may start; a reply delay or a stalled block is
//   just a later time. TakeDue() hands the runner the bytes whose time has come, in order, as
//   many as it asks for, so a paced runner can take one byte per character time.
// - Tick() lets time pass: the silence that ends a program receive, and the data lines the
//   instrument sends of its own accord (busy mode, operate mode with an interval).
// - Nothing here reads a clock, sleeps or touches a file descriptor. The same bytes at the same
//   times give the same output, whether they come one at a time or in one block.
//
// The records transfer is the sending side of XMODEM with the 8-bit checksum: block 1 after
// the first NAK, the next block after ACK, the same block after NAK, EOT after the last block
// (again on NAK), and the ACK of the EOT ends it. While it runs, 0x15 is a NAK, never Get Pgm.
// A break-in (0x03) ends a transfer or a program receive and drops any block still scheduled.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "sim/config.h"
#include "sim/texts.h"

namespace brenvix {

class Instrument {
  public:
    using Clock = std::chrono::steady_clock;
    using TimePoint = Clock::time_point;

    enum class State {
        Idle,
        ExitQuestion,      // asked "(Y/N) ?" after Ctrl-X in operate mode
        SettingTime,       // prompted after Ctrl-T, collecting digits until CR
        ReceivingProgram,  // after Ctrl-D, storing everything until 1.5 s of silence
        RecordsArmed,      // answered 0x02, waiting for the first NAK
        RecordsSending,    // blocks going out
        RecordsEot,        // EOT sent, waiting for its ACK
    };

    // Tags on scheduled output, so a break-in can drop the blocks that have not gone yet.
    enum class Tag { Reply, Transfer, Unsolicited, Injected };

    static constexpr auto kProgramSilence = std::chrono::milliseconds(1500);
    static constexpr auto kStallDelay = std::chrono::milliseconds(1600);
    static constexpr size_t kShortBlockBytes = 100;

    explicit Instrument(SimConfig cfg);

    // Arms the timers of the lines it sends of its own accord. Before Start it only answers.
    void Start(TimePoint now);
    void Receive(std::span<const uint8_t> bytes, TimePoint now);
    void Tick(TimePoint now);
    // Bytes put on the line from outside (Simulator::Send): scheduled now, after nothing else.
    void Inject(std::span<const uint8_t> bytes, TimePoint now);

    // The earliest time at which Tick or TakeDue has something to do, if any.
    std::optional<TimePoint> NextEvent() const;
    // The earliest time at which Tick has something to do (output not counted).
    std::optional<TimePoint> NextTimer() const;
    // When the first pending output byte may go, if there is one.
    std::optional<TimePoint> NextOutputAt() const;
    // Moves up to max bytes whose time has come to *out; returns how many.
    size_t TakeDue(TimePoint now, size_t max, std::vector<uint8_t>* out);
    // Everything due by now (convenience for tests and unpaced runners).
    std::vector<uint8_t> TakeDue(TimePoint now);
    bool HasPendingOutput() const { return !schedule_.empty(); }

    State state() const { return state_; }
    bool OperateMode() const { return operate_; }
    const std::vector<uint8_t>& StoredProgram() const { return stored_; }
    // Sum of the held program's bytes, modulo 65536: the last program received after Ctrl-D
    // once one has been, else the configured one.
    uint16_t ProgramChecksum() const;
    const TransferStats& Transfer() const { return stats_; }
    const SimConfig& config() const { return cfg_; }
    // The block that goes out for ordinal k (1-based) in the current records, uncorrupted.
    std::vector<uint8_t> Block(int ordinal) const;
    int BlockCount() const { return static_cast<int>(payloads_.size()); }

  private:
    struct Chunk {
        TimePoint at;
        std::vector<uint8_t> bytes;
        size_t sent = 0;  // bytes already taken from the front
        Tag tag;
    };

    void Schedule(TimePoint at, std::vector<uint8_t> bytes, Tag tag);
    void Reply(TimePoint now, const std::string& text);
    void ReplyBytes(TimePoint now, std::vector<uint8_t> bytes);
    void HandleByte(uint8_t b, TimePoint now);
    void HandleCommand(uint8_t b, TimePoint now);
    void HandleTransferByte(uint8_t b, TimePoint now);
    void ArmRecords(TimePoint now);
    void SendCurrent(TimePoint now);
    void SendEot(TimePoint now);
    void EndTransfer();
    void DropScheduled(Tag tag);
    // The fault for an ordinal if it has not fired yet (and marks it fired when `fire`).
    Fault PendingFault(int ordinal) const;
    void Fire(int ordinal) { fired_.insert(ordinal); }
    void AdvanceTime(TimePoint now);

    SimConfig cfg_;
    State state_ = State::Idle;
    bool operate_ = false;
    std::deque<Chunk> schedule_;

    // Program receive.
    std::vector<uint8_t> stored_;
    bool haveStored_ = false;
    TimePoint lastProgramByte_{};
    std::string timeEntry_;

    // Records transfer.
    std::vector<Payload> payloads_;
    int ordinal_ = 1;           // the block that goes out on the next NAK
    bool currentSent_ = false;  // whether ordinal_ has been put on the line (ACK then advances)
    std::set<int> fired_;
    TransferStats stats_;

    // Lines of its own accord.
    bool started_ = false;
    std::optional<TimePoint> nextBusy_, nextOperate_;
    uint32_t busySeq_ = 0, operateSeq_ = 0;
    TextRng busyRng_, operateRng_;
};

}  // namespace brenvix
