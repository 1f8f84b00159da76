#include "device/record_protocol.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace ventaro {

namespace {

constexpr size_t kNumberAt = 1;
constexpr size_t kComplementAt = 2;
constexpr size_t kPayloadAt = 3;
constexpr size_t kChecksumAt = kPayloadAt + kRecordPayloadSize;
// Failures in a row that are still retried: one more gives up.
constexpr uint32_t kEmptyReadLimit = 9;
constexpr uint32_t kPacketErrorLimit = 10;

std::string Format(const char* format, auto... args) {
    std::array<char, kRecordTextSize> text{};
    const int n = std::snprintf(text.data(), text.size(), format, args...);
    return std::string(text.data(), static_cast<size_t>(std::clamp(n, 0, int(text.size()) - 1)));
}

Action Do(ActionKind kind, int value = 0, std::string text = {}) {
    return Action{kind, value, std::move(text)};
}

bool ChecksumHolds(std::span<const uint8_t> block) {
    uint8_t sum = 0;
    for (size_t i = kPayloadAt; i < kChecksumAt; ++i) {
        sum = static_cast<uint8_t>(sum + block[i]);
    }
    return sum == block[kChecksumAt];
}

// A read that is not the block expected next: the number check has already failed, so any
// other fault still reads as the mismatch it first was.
BlockVerdict JudgeRepeat(std::span<const uint8_t> bytes) {
    const bool whole = bytes.size() == kRecordBlockSize;
    return whole && ChecksumHolds(bytes) ? BlockVerdict::Repeat : BlockVerdict::Mismatch;
}

}  // namespace

BlockVerdict JudgeBlock(std::span<const uint8_t> bytes, uint8_t lastBlock, bool anyAccepted) {
    if (bytes.empty()) {
        return BlockVerdict::Empty;
    }
    if (bytes[0] == kEot) {
        return BlockVerdict::Eot;
    }
    if (bytes[0] != kSoh) {
        return BlockVerdict::NotSoh;
    }
    if (bytes.size() <= kComplementAt) {
        return BlockVerdict::Short;
    }
    const uint8_t number = bytes[kNumberAt];
    if (bytes[kComplementAt] != static_cast<uint8_t>(0xFF - number)) {
        return BlockVerdict::BadComplement;
    }
    if (number != static_cast<uint8_t>(lastBlock + 1)) {
        return anyAccepted && number == lastBlock ? JudgeRepeat(bytes) : BlockVerdict::Mismatch;
    }
    // The checksum is checked before the length, but cannot be without its bytes.
    if (bytes.size() <= kChecksumAt) {
        return BlockVerdict::Short;
    }
    if (!ChecksumHolds(bytes)) {
        return BlockVerdict::BadChecksum;
    }
    return bytes.size() == kRecordBlockSize ? BlockVerdict::Accept : BlockVerdict::Short;
}

Step RecordReceiver::OnRead(std::span<const uint8_t> bytes) {
    Step step;
    if (state_ != ReceiverState::Receiving) {
        step.end = state_ == ReceiverState::GotEot ? StepEnd::Eot : StepEnd::GiveUp;
        return step;
    }
    step.verdict = JudgeBlock(bytes, lastBlock_, blockCount_ > 0);
    switch (step.verdict) {
        case BlockVerdict::Empty:
            OnEmpty(step);
            break;
        case BlockVerdict::Eot:
            state_ = ReceiverState::GotEot;
            step.end = StepEnd::Eot;
            step.actions.push_back(Do(ActionKind::ShowStatus));
            break;
        case BlockVerdict::Accept:
            OnAccept(step, bytes);
            break;
        case BlockVerdict::Repeat:
            // Its ACK went astray: the instrument only needs that ACK again.
            step.actions.push_back(Do(ActionKind::Send, kAck));
            step.actions.push_back(Do(ActionKind::ShowStatus));
            break;
        default:
            OnPacketError(step, bytes);
            break;
    }
    return step;
}

void RecordReceiver::OnEmpty(Step& step) {
    step.actions.push_back(Do(ActionKind::Beep));
    step.actions.push_back(Do(ActionKind::Show, 0,
                              Format("Not enough characters... %d %d %d\r\n", int(lastBlock_),
                                     static_cast<int>(blockCount_), 0)));
    step.actions.push_back(Do(ActionKind::Show, 0, "Clear buffer and retry.\r\n"));
    step.actions.push_back(Do(ActionKind::ClearErrors));
    if (CountError(step, kEmptyReadLimit)) {
        return;
    }
    step.actions.push_back(Do(ActionKind::ClearErrors));
    step.actions.push_back(Do(ActionKind::Wait, kEmptyReadWaitMs));
    step.actions.push_back(Do(ActionKind::Send, kNak));
    step.actions.push_back(Do(ActionKind::ShowStatus));
}

void RecordReceiver::OnPacketError(Step& step, std::span<const uint8_t> bytes) {
    if (step.verdict == BlockVerdict::Mismatch) {
        step.actions.push_back(
            Do(ActionKind::Show, 0,
               Format("Packet Error... Block count mismatch %d %d %d\r\n", int(lastBlock_),
                      int(bytes[kNumberAt]), static_cast<int>(bytes.size()))));
    }
    step.actions.push_back(Do(ActionKind::Beep));
    if (CountError(step, kPacketErrorLimit)) {
        return;
    }
    step.actions.push_back(Do(ActionKind::Wait, kPacketErrorWaitMs));
    step.actions.push_back(Do(ActionKind::Send, kNak));
    step.actions.push_back(Do(ActionKind::ShowStatus));
}

void RecordReceiver::OnAccept(Step& step, std::span<const uint8_t> bytes) {
    lastBlock_ = bytes[kNumberAt];
    previousBlock_ = static_cast<uint8_t>(lastBlock_ - 1);
    ++blockCount_;
    errorCount_ = 0;
    step.ordinal = blockCount_;
    std::copy_n(bytes.begin() + kPayloadAt, kRecordPayloadSize, step.payload.begin());
    step.actions.push_back(Do(ActionKind::Store));
    step.actions.push_back(
        Do(ActionKind::Show, 0, Format("BLOCK %d\r\n", static_cast<int>(blockCount_))));
    step.actions.push_back(Do(ActionKind::Yield));
    step.actions.push_back(Do(ActionKind::Send, kAck));
    step.actions.push_back(Do(ActionKind::Yield));
    step.actions.push_back(Do(ActionKind::ShowStatus));
}

bool RecordReceiver::CountError(Step& step, uint32_t limit) {
    ++errorCount_;
    if (errorCount_ <= limit) {
        return false;
    }
    step.actions.push_back(Do(ActionKind::Send, kBreakIn));
    state_ = ReceiverState::GaveUp;
    step.end = StepEnd::GiveUp;
    return true;
}

std::string StatusText(int recordCount, int recordsExpected, uint32_t errorCount) {
    return Format("Record: %u of %u  Errors: %d", static_cast<unsigned>(recordCount),
                  static_cast<unsigned>(recordsExpected), static_cast<int>(errorCount));
}

std::string ReceivedText(int recordCount, int recordsExpected) {
    return Format("RECORDS RECEIVED: %u of %u\r\n", static_cast<unsigned>(recordCount),
                  static_cast<unsigned>(recordsExpected));
}

}  // namespace ventaro
