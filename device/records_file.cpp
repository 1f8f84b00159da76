#include "device/records_file.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

namespace ventaro {

namespace {

using Payload = std::span<const uint8_t, kRecordPayloadSize>;

constexpr int kMaxAsterisks = 12;
constexpr size_t kTotalValuesAt = 64;
constexpr size_t kFieldsAt = 66;
constexpr size_t kPrecisionsAt = 50;

int16_t Le16(Payload p, size_t at) {
    return static_cast<int16_t>(static_cast<uint16_t>(p[at] | (p[at + 1] << 8)));
}

float LeFloat(Payload p, size_t at) {
    const uint32_t bits = static_cast<uint32_t>(p[at]) | static_cast<uint32_t>(p[at + 1]) << 8 |
                          static_cast<uint32_t>(p[at + 2]) << 16 |
                          static_cast<uint32_t>(p[at + 3]) << 24;
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// The bytes [at, at + room) up to the first NUL among them.
std::string TextUpToNul(Payload p, size_t at, size_t room) {
    const auto* begin = reinterpret_cast<const char*>(p.data() + at);
    const auto* nul = static_cast<const char*>(std::memchr(begin, 0, room));
    return std::string(begin, nul != nullptr ? static_cast<size_t>(nul - begin) : room);
}

std::string Printf(const char* format, int number) {
    std::array<char, kRecordTextSize> text{};
    const int n = std::snprintf(text.data(), text.size(), format, number);
    return std::string(text.data(), static_cast<size_t>(std::clamp(n, 0, int(text.size()) - 1)));
}

}  // namespace

std::string FormatRecordValue(double value, int width, int precision) {
    width = std::max(width, 0);
    const std::string stars(static_cast<size_t>(std::min(width, kMaxAsterisks)), '*');
    // Past these the text could never fit the buffer; spare snprintf the thousands of digits.
    constexpr int kRoom = int(kRecordTextSize) - 1;
    if (width > kRoom || precision > kRoom) {
        return stars;
    }
    std::array<char, kRecordTextSize> text{};
    int n = 0;
    if (std::isnan(value)) {
        n = std::snprintf(text.data(), text.size(), "%*s", width, "NAN");
    } else if (std::isinf(value)) {
        n = std::snprintf(text.data(), text.size(), "%*s", width, value < 0 ? "-INF" : "INF");
    } else {
        // A negative precision reaches printf as one: six digits.
        n = std::snprintf(text.data(), text.size(), "%*.*f", width, precision, value);
    }
    if (n < 0 || n > kRoom || n > width) {
        return stars;
    }
    return std::string(text.data(), static_cast<size_t>(n));
}

RecordsFile::RecordsFile(Sink writeFile, Sink showTerminal)
    : writeFile_(std::move(writeFile)), showTerminal_(std::move(showTerminal)) {}

int RecordsFile::Fields() const {
    return std::max<int>(layout_.fieldsPerRecord, 0);
}

int RecordsFile::Total() const {
    return std::max<int>(layout_.totalValues, 0);
}

int RecordsFile::RecordsExpected() const {
    return Fields() == 0 ? Total() : Total() / Fields();
}

void RecordsFile::StoreRecordBlock(uint32_t ordinal, Payload payload) {
    constexpr int kFirstBlockFields = 13;
    switch (ordinal) {
        case 0:
            break;  // ordinals count from 1; nothing was announced for this
        case 1:
            StoreHeader(payload);
            break;
        case 2:
            StoreFormats(payload);
            break;
        case 3:
            StoreLabels(payload, layout_.labelRow1, 0, kFirstBlockFields);
            break;
        case 4:
            StoreLabels(payload, layout_.labelRow1, kFirstBlockFields, kMaxRecordFields);
            break;
        case 5:
            StoreLabels(payload, layout_.labelRow2, 0, kFirstBlockFields);
            break;
        case 6:
            StoreLabels(payload, layout_.labelRow2, kFirstBlockFields, kMaxRecordFields);
            WriteLabelRows();
            break;
        default:
            StoreValues(payload);
            break;
    }
}

void RecordsFile::CloseRecordsFile() {
    writeFile_("\r\n");
}

void RecordsFile::StoreHeader(Payload payload) {
    layout_.titleLine1 = TextUpToNul(payload, 0, kRecordTitleSize);
    layout_.titleLine2 = TextUpToNul(payload, kRecordTitleSize, kRecordTitleSize);
    layout_.totalValues = Le16(payload, kTotalValuesAt);
    layout_.fieldsPerRecord = Le16(payload, kFieldsAt);
    if (Fields() == 0) {
        return;
    }
    const std::string titles = layout_.titleLine1 + "\r\n" + layout_.titleLine2 + "\r\n";
    writeFile_(titles);
    showTerminal_(titles);
    const std::string records = Printf("NUMBER OF RECORDS: %d\r\n", RecordsExpected());
    writeFile_(records);
    showTerminal_(records);
    // The file gets a blank line under the header; the terminal does not.
    const std::string fields = Printf("FIELDS PER RECORD: %d\r\n", layout_.fieldsPerRecord);
    writeFile_(fields + "\r\n");
    showTerminal_(fields);
}

void RecordsFile::StoreFormats(Payload payload) {
    for (int i = 0; i < kMaxRecordFields; ++i) {
        layout_.fieldWidths[i] = Le16(payload, 2 * size_t(i));
        layout_.fieldPrecisions[i] = Le16(payload, kPrecisionsAt + 2 * size_t(i));
    }
}

void RecordsFile::StoreLabels(Payload payload, std::array<std::string, kMaxRecordFields>& row,
                              int first, int last) {
    size_t at = 0;
    for (int i = first; i < last; ++i) {
        // A label running past the block is cut at its end; the ones after it are empty.
        const auto width =
            static_cast<size_t>(std::clamp<int>(layout_.fieldWidths[i], 0, kMaxLabelWidth));
        const size_t take = std::min(width, payload.size() - at);
        row[i] = TextUpToNul(payload, at, take);
        at += take;
    }
}

void RecordsFile::WriteLabelRows() {
    const int shown = std::min(Fields(), kMaxRecordFields);
    for (const auto* row : {&layout_.labelRow1, &layout_.labelRow2}) {
        std::string line;
        for (int i = 0; i < shown; ++i) {
            line += ' ';
            line += (*row)[i];
        }
        writeFile_(line + "\r\n");
    }
}

void RecordsFile::StoreValues(Payload payload) {
    for (int k = 0; k < kValuesPerBlock; ++k) {
        StoreValue(LeFloat(payload, 4 * size_t(k)));
    }
}

void RecordsFile::StoreValue(float value) {
    const uint32_t fields = static_cast<uint32_t>(Fields());
    const uint32_t i = fields == 0 ? 0 : valueCount_ % fields;
    if (valueCount_ >= static_cast<uint32_t>(Total())) {
        return;
    }
    ++valueCount_;
    if (i >= uint32_t(kMaxRecordFields)) {
        return;  // no width or precision was ever announced for it: counted, not written
    }
    const std::string text =
        FormatRecordValue(value, layout_.fieldWidths[i], layout_.fieldPrecisions[i]);
    if (i == 0) {
        ++recordCount_;
        writeFile_("\r\n " + text);
    } else {
        writeFile_(" " + text);
    }
}

}  // namespace ventaro
