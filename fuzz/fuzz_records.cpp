// Arbitrary reads through the block receiver and, behind it, the records file; then the raw input
// straight into the records file as payloads. A crash, a sanitizer report or a broken invariant
// (checked with a trap) is a finding.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "device/record_protocol.h"
#include "device/records_file.h"
#include "fuzz/read_script.h"

namespace {

using ventaro::ActionKind;
using ventaro::RecordsFile;

void Check(bool ok) {
    if (!ok) {
        __builtin_trap();
    }
}

// The longest single write: a record line's "\r\n " and a value text that fills the buffer.
constexpr size_t kLongestWrite = 3 + ventaro::kRecordTextSize - 1;

void CheckWrite(std::string_view s) {
    Check(s.size() <= kLongestWrite);
}

void CheckCounts(const RecordsFile& file) {
    const auto total = static_cast<uint32_t>(std::max<int>(file.Layout().totalValues, 0));
    Check(file.ValueCount() <= total);
    Check(static_cast<uint32_t>(file.RecordCount()) <= file.ValueCount());
    Check(file.RecordsExpected() >= 0 && file.RecordsExpected() <= 32767);
}

uint8_t PickNumber(uint8_t control, uint8_t last, fuzz_script::Reader& in) {
    switch ((control >> 2) & 3) {
        case fuzz_script::kExpected:
            return static_cast<uint8_t>(last + 1);
        case fuzz_script::kRepeat:
            return last;
        case fuzz_script::kGiven:
            return in.Next();
        default:
            return static_cast<uint8_t>(last + 2);
    }
}

std::vector<uint8_t> NextRead(fuzz_script::Reader& in, uint8_t last) {
    const uint8_t control = in.Next();
    switch (control & 3) {
        case fuzz_script::kRaw:
            return in.Take(in.Next());
        case fuzz_script::kBuilt:
            return fuzz_script::BuildBlock(control, PickNumber(control, last, in), in);
        case fuzz_script::kEmpty:
            return {};
        default:
            return {0x04};
    }
}

void RunDownload(const uint8_t* data, size_t size) {
    fuzz_script::Reader in(data, size);
    ventaro::RecordReceiver rx;
    RecordsFile file(CheckWrite, CheckWrite);
    uint32_t stored = 0;
    bool ended = false;
    while (!in.AtEnd()) {
        const ventaro::Step step = rx.OnRead(NextRead(in, rx.LastBlock()));
        if (ended) {
            Check(step.actions.empty() && step.end != ventaro::StepEnd::Continue);
            continue;
        }
        for (const ventaro::Action& a : step.actions) {
            if (a.kind == ActionKind::Store) {
                Check(step.verdict == ventaro::BlockVerdict::Accept && step.ordinal == ++stored);
                file.StoreRecordBlock(step.ordinal, step.payload);
            } else if (a.kind == ActionKind::Show) {
                Check(a.text.size() < ventaro::kRecordTextSize);
            }
        }
        Check(rx.BlockCount() == stored && rx.ErrorCount() <= 11);
        CheckCounts(file);
        ended = step.end != ventaro::StepEnd::Continue;
    }
    file.CloseRecordsFile();
}

// Every 128 bytes of the input as the next block's payload, the last one padded with zeros.
void RunDecoder(const uint8_t* data, size_t size) {
    RecordsFile file(CheckWrite, CheckWrite);
    uint32_t ordinal = 0;
    for (size_t at = 0; at < size; at += ventaro::kRecordPayloadSize) {
        std::array<uint8_t, ventaro::kRecordPayloadSize> payload{};
        std::copy_n(data + at, std::min(payload.size(), size - at), payload.begin());
        file.StoreRecordBlock(++ordinal, payload);
        CheckCounts(file);
    }
    file.CloseRecordsFile();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    RunDownload(data, size);
    RunDecoder(data, size);
    return 0;
}
