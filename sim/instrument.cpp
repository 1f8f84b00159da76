#include "sim/instrument.h"

#include <algorithm>
#include <cstdio>

namespace brenvix {

namespace {

constexpr uint8_t kSoh = 0x01;
constexpr uint8_t kEot = 0x04;
constexpr uint8_t kAck = 0x06;
constexpr uint8_t kNak = 0x15;
constexpr uint8_t kBreak = 0x03;

// Bytes that are neither SOH nor EOT, so a receiver must take them as junk, not as a frame.
constexpr uint8_t kNoise[] = {0x7E, 0x2A, 0xE5};

constexpr auto kBusyPeriod = std::chrono::milliseconds(100);
// A data line is about 36 characters; with room for it the busy output never piles up behind
// the pacing at low line rates.
constexpr int kBusyLineChars = 40;

}  // namespace

const char* FaultName(Fault f) {
    switch (f) {
        case Fault::None:
            return "None";
        case Fault::Drop:
            return "Drop";
        case Fault::BadChecksum:
            return "BadChecksum";
        case Fault::BadComplement:
            return "BadComplement";
        case Fault::WrongNumber:
            return "WrongNumber";
        case Fault::Duplicate:
            return "Duplicate";
        case Fault::Short:
            return "Short";
        case Fault::Noise:
            return "Noise";
        case Fault::Stall:
            return "Stall";
        case Fault::EarlyEot:
            return "EarlyEot";
        case Fault::LostAck:
            return "LostAck";
    }
    return "?";
}

Instrument::Instrument(SimConfig cfg)
    : cfg_(std::move(cfg)), busyRng_(cfg_.seed), operateRng_(cfg_.seed * 2654435761u + 1) {
    if (cfg_.program.empty()) {
        cfg_.program = DefaultProgram(cfg_.seed);
    }
    if (cfg_.asciiProgram.empty()) {
        cfg_.asciiProgram = DefaultAsciiProgram(cfg_.seed);
    }
    operate_ = cfg_.operateMode;
}

void Instrument::Start(TimePoint now) {
    if (started_) {
        return;
    }
    started_ = true;
    if (cfg_.busy) {
        nextBusy_ = now;
    }
    if (operate_ && cfg_.operateIntervalMs > 0) {
        nextOperate_ = now + std::chrono::milliseconds(cfg_.operateIntervalMs);
    }
}

void Instrument::Receive(std::span<const uint8_t> bytes, TimePoint now) {
    for (uint8_t b : bytes) {
        AdvanceTime(now);
        HandleByte(b, now);
    }
}

void Instrument::Tick(TimePoint now) {
    AdvanceTime(now);
}

void Instrument::Inject(std::span<const uint8_t> bytes, TimePoint now) {
    Schedule(now, std::vector<uint8_t>(bytes.begin(), bytes.end()), Tag::Injected);
}

void Instrument::AdvanceTime(TimePoint now) {
    if (state_ == State::ReceivingProgram && now - lastProgramByte_ >= kProgramSilence) {
        state_ = State::Idle;
    }
    if (nextBusy_) {
        auto period = std::chrono::duration_cast<Clock::duration>(kBusyPeriod);
        if (cfg_.baud > 0) {
            const auto lineTime = std::chrono::microseconds(static_cast<int64_t>(kBusyLineChars) *
                                                            10 * 1000000 / cfg_.baud);
            period = std::max(period, std::chrono::duration_cast<Clock::duration>(
                                          lineTime + std::chrono::milliseconds(20)));
        }
        // After a long gap (a test that did not tick for a while) restart the rhythm instead
        // of flooding the line with every line that was missed.
        if (now - *nextBusy_ > 10 * period) {
            nextBusy_ = now;
        }
        while (*nextBusy_ <= now) {
            Schedule(
                *nextBusy_,
                [&] {
                    const std::string s = DataLine(busySeq_++, busyRng_);
                    return std::vector<uint8_t>(s.begin(), s.end());
                }(),
                Tag::Unsolicited);
            *nextBusy_ += period;
        }
    }
    if (nextOperate_) {
        const auto period = std::chrono::milliseconds(cfg_.operateIntervalMs);
        if (now - *nextOperate_ > 10 * period) {
            nextOperate_ = now;
        }
        while (*nextOperate_ <= now) {
            const std::string s = DataLine(operateSeq_++, operateRng_);
            Schedule(*nextOperate_, std::vector<uint8_t>(s.begin(), s.end()), Tag::Unsolicited);
            *nextOperate_ += period;
        }
    }
}

std::optional<Instrument::TimePoint> Instrument::NextOutputAt() const {
    if (schedule_.empty()) {
        return std::nullopt;
    }
    return schedule_.front().at;
}

std::optional<Instrument::TimePoint> Instrument::NextEvent() const {
    std::optional<TimePoint> t = NextOutputAt();
    if (const auto timer = NextTimer(); timer && (!t || *timer < *t)) {
        t = timer;
    }
    return t;
}

std::optional<Instrument::TimePoint> Instrument::NextTimer() const {
    std::optional<TimePoint> t;
    auto consider = [&t](TimePoint c) {
        if (!t || c < *t) {
            t = c;
        }
    };
    if (nextBusy_) {
        consider(*nextBusy_);
    }
    if (nextOperate_) {
        consider(*nextOperate_);
    }
    if (state_ == State::ReceivingProgram) {
        consider(lastProgramByte_ + kProgramSilence);
    }
    return t;
}

size_t Instrument::TakeDue(TimePoint now, size_t max, std::vector<uint8_t>* out) {
    size_t taken = 0;
    while (taken < max && !schedule_.empty() && schedule_.front().at <= now) {
        Chunk& c = schedule_.front();
        const size_t n = std::min(max - taken, c.bytes.size() - c.sent);
        out->insert(out->end(), c.bytes.begin() + static_cast<ptrdiff_t>(c.sent),
                    c.bytes.begin() + static_cast<ptrdiff_t>(c.sent + n));
        c.sent += n;
        taken += n;
        if (c.sent == c.bytes.size()) {
            schedule_.pop_front();
        }
    }
    return taken;
}

std::vector<uint8_t> Instrument::TakeDue(TimePoint now) {
    std::vector<uint8_t> out;
    TakeDue(now, SIZE_MAX, &out);
    return out;
}

void Instrument::Schedule(TimePoint at, std::vector<uint8_t> bytes, Tag tag) {
    if (bytes.empty()) {
        return;
    }
    // Keep the schedule in time order, equal times in the order they were made, and never slip
    // in front of a chunk that has started going out: its bytes must stay together.
    auto pos = schedule_.end();
    while (pos != schedule_.begin()) {
        auto prev = std::prev(pos);
        if (prev->at <= at || prev->sent > 0) {
            break;
        }
        pos = prev;
    }
    schedule_.insert(pos, Chunk{at, std::move(bytes), 0, tag});
}

void Instrument::DropScheduled(Tag tag) {
    // A chunk already half on the line finishes: the wire cannot take back what it carried.
    std::erase_if(schedule_, [tag](const Chunk& c) { return c.tag == tag && c.sent == 0; });
}

void Instrument::Reply(TimePoint now, const std::string& text) {
    ReplyBytes(now, std::vector<uint8_t>(text.begin(), text.end()));
}

void Instrument::ReplyBytes(TimePoint now, std::vector<uint8_t> bytes) {
    Schedule(now + std::chrono::milliseconds(cfg_.replyDelayMs), std::move(bytes), Tag::Reply);
}

uint16_t Instrument::ProgramChecksum() const {
    const std::vector<uint8_t>& p = haveStored_ ? stored_ : cfg_.program;
    uint32_t sum = 0;
    for (uint8_t b : p) {
        sum += b;
    }
    return static_cast<uint16_t>(sum & 0xFFFF);
}

void Instrument::HandleByte(uint8_t b, TimePoint now) {
    switch (state_) {
        case State::ReceivingProgram:
            if (b == kBreak) {
                state_ = State::Idle;
            } else {
                stored_.push_back(b);
                lastProgramByte_ = now;
            }
            return;
        case State::RecordsSending:
        case State::RecordsEot:
            HandleTransferByte(b, now);
            return;
        case State::RecordsArmed:
            if (b == kNak || b == kAck || b == kBreak) {
                HandleTransferByte(b, now);
                return;
            }
            // Asked for the records but never started: any other command wins.
            state_ = State::Idle;
            break;
        case State::ExitQuestion:
            state_ = State::Idle;
            if (b == 'Y' || b == 'y') {
                operate_ = false;
                nextOperate_.reset();
                Reply(now, "Y\r\nUSER PROGRAM EXITED.\r\n");
                return;
            }
            if (b == 'N' || b == 'n') {
                Reply(now, "N\r\n");
                return;
            }
            break;
        case State::SettingTime:
            if ((b >= '0' && b <= '9') || b == ':') {
                if (timeEntry_.size() < 8) {
                    timeEntry_.push_back(static_cast<char>(b));
                    Reply(now, std::string(1, static_cast<char>(b)));  // echo
                }
                return;
            }
            state_ = State::Idle;
            if (b == '\r') {
                Reply(now, "\r\nTIME SET TO " + timeEntry_ + "\r\n");
                return;
            }
            break;
        case State::Idle:
            break;
    }
    HandleCommand(b, now);
}

void Instrument::HandleCommand(uint8_t b, TimePoint now) {
    auto scripted = cfg_.scriptedReplies.find(b);
    if (scripted != cfg_.scriptedReplies.end() && !scripted->second.empty()) {
        std::string reply = scripted->second.front();
        scripted->second.erase(scripted->second.begin());
        if (!reply.empty()) {
            Reply(now, reply);
        }
        return;
    }
    switch (b) {
        case kBreak:
            break;  // nothing to answer; whatever ran has been ended by the caller's state
        case 0x0F:
            operate_ = true;
            if (started_ && cfg_.operateIntervalMs > 0 && !nextOperate_) {
                nextOperate_ = now + std::chrono::milliseconds(cfg_.operateIntervalMs);
            }
            Reply(now, "OPERATING USER PROGRAM\r\n");
            break;
        case 0x18:
            if (operate_) {
                Reply(now, "EXIT USER PROGRAM (Y/N) ? ");
                state_ = State::ExitQuestion;
            } else {
                Reply(now, "NO USER PROGRAM RUNNING\r\n");
            }
            break;
        case 0x10:
            if (operate_) {
                Reply(now, "PRESS ^X TO EXIT\r\n");
            } else {
                char buf[32];
                std::snprintf(buf, sizeof buf, "CHECKSUM: %04X\r\n",
                              static_cast<unsigned>(ProgramChecksum()));
                Reply(now, buf);
            }
            break;
        case 0x14:
            timeEntry_.clear();
            state_ = State::SettingTime;
            Reply(now, "ENTER TIME HH:MM:SS ");
            break;
        case 0x16:
            Reply(now, "BRENVIX FIRMWARE V2.07 (SIM)\r\n");
            break;
        case 0x05:
            cfg_.records.values.clear();
            cfg_.records.totalValues = 0;
            Reply(now, "RECORDS ERASED\r\n");
            break;
        case 0x15:
            if (cfg_.plainXmodemSender) {
                ArmRecords(now);
                HandleTransferByte(b, now);
            } else {
                ReplyBytes(now, cfg_.program);
            }
            break;
        case 0x01:
            ReplyBytes(now, cfg_.asciiProgram);
            break;
        case 0x04:
            Reply(now, "READY NOW\r\n");
            stored_.clear();
            haveStored_ = true;
            lastProgramByte_ = now;
            state_ = State::ReceivingProgram;
            break;
        case 0x02:
            if (cfg_.answerRecordsRequest) {
                Reply(now, "SENDING RECORDS NOW...\r\n");
                ArmRecords(now);
            }
            break;
        default:
            break;  // typed characters and unknown commands get no answer
    }
}

void Instrument::ArmRecords(TimePoint) {
    payloads_ = RecordPayloads(cfg_.records);
    ordinal_ = 1;
    currentSent_ = false;
    stats_ = TransferStats{};
    state_ = State::RecordsArmed;
}

void Instrument::HandleTransferByte(uint8_t b, TimePoint now) {
    if (b == kBreak) {
        DropScheduled(Tag::Transfer);
        EndTransfer();
        return;
    }
    if (b == kNak) {
        if (++stats_.naksReceived == 1) {
            stats_.firstNak = now;
        }
        ++stats_.wireChars;
        if (state_ == State::RecordsEot) {
            SendEot(now);
        } else {
            state_ = State::RecordsSending;
            SendCurrent(now);
        }
        return;
    }
    if (b != kAck) {
        return;  // line noise from the receiver's side: a sender ignores it
    }
    ++stats_.acksReceived;
    ++stats_.wireChars;
    stats_.lastAck = now;
    if (state_ == State::RecordsArmed) {
        return;  // an ACK before any block means nothing
    }
    if (state_ == State::RecordsEot) {
        EndTransfer();
        return;
    }
    if (!currentSent_) {
        SendCurrent(now);  // after a duplicate: the next block has not gone yet
        return;
    }
    const Fault f = PendingFault(ordinal_);
    if (f == Fault::LostAck) {
        Fire(ordinal_);
        return;
    }
    if (f == Fault::Duplicate) {
        Fire(ordinal_);
        std::vector<uint8_t> again = Block(ordinal_);
        stats_.wireChars += again.size();
        ++stats_.blocksSent;
        Schedule(now, std::move(again), Tag::Transfer);
        ++ordinal_;
        currentSent_ = false;
        return;
    }
    ++ordinal_;
    SendCurrent(now);
}

std::vector<uint8_t> Instrument::Block(int ordinal) const {
    std::vector<uint8_t> blk;
    if (ordinal < 1 || ordinal > BlockCount()) {
        return blk;
    }
    const Payload& p = payloads_[static_cast<size_t>(ordinal - 1)];
    const auto number = static_cast<uint8_t>(ordinal & 0xFF);
    blk.reserve(132);
    blk.push_back(kSoh);
    blk.push_back(number);
    blk.push_back(static_cast<uint8_t>(255 - number));
    uint8_t sum = 0;
    for (uint8_t b : p) {
        blk.push_back(b);
        sum = static_cast<uint8_t>(sum + b);
    }
    blk.push_back(sum);
    return blk;
}

Fault Instrument::PendingFault(int ordinal) const {
    const auto it = cfg_.faults.find(ordinal);
    if (it == cfg_.faults.end() || fired_.count(ordinal) != 0) {
        return Fault::None;
    }
    return it->second;
}

void Instrument::SendCurrent(TimePoint now) {
    if (ordinal_ > BlockCount()) {
        SendEot(now);
        return;
    }
    currentSent_ = true;
    std::vector<uint8_t> blk = Block(ordinal_);
    TimePoint at = now;
    switch (PendingFault(ordinal_)) {
        case Fault::Drop:
            Fire(ordinal_);
            return;
        case Fault::BadChecksum:
            blk[131] = static_cast<uint8_t>(blk[131] + 1);
            break;
        case Fault::BadComplement:
            blk[2] = static_cast<uint8_t>(blk[2] + 1);
            break;
        case Fault::WrongNumber:
            blk[1] = static_cast<uint8_t>(blk[1] + 1);
            blk[2] = static_cast<uint8_t>(255 - blk[1]);
            break;
        case Fault::Short:
            blk.resize(kShortBlockBytes);
            break;
        case Fault::Noise:
            blk.insert(blk.begin(), std::begin(kNoise), std::end(kNoise));
            break;
        case Fault::Stall:
            at = now + kStallDelay;
            break;
        case Fault::EarlyEot:
            Fire(ordinal_);
            SendEot(now);
            return;
        case Fault::None:
        case Fault::Duplicate:  // these two act on the ACK, not on the send
        case Fault::LostAck:
            Schedule(at, std::move(blk), Tag::Transfer);
            ++stats_.blocksSent;
            stats_.wireChars += 132;
            return;
    }
    Fire(ordinal_);
    stats_.wireChars += blk.size();
    ++stats_.blocksSent;
    Schedule(at, std::move(blk), Tag::Transfer);
}

void Instrument::SendEot(TimePoint now) {
    state_ = State::RecordsEot;
    stats_.eotSent = true;
    ++stats_.wireChars;
    Schedule(now, {kEot}, Tag::Transfer);
}

void Instrument::EndTransfer() {
    state_ = State::Idle;
}

}  // namespace brenvix
