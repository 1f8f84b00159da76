// The records text file: decodes the payloads of a records download and writes the text file.
//
// How it works: the download hands over each accepted block's 128-byte payload with its ordinal
// (1, 2, 3, ...). Ordinal 1 is the header (titles and counts), 2 the column widths and
// precisions, 3 to 6 the two label rows, and every later block 32 little-endian single-precision
// values. What a block yields goes out at once through two sinks, the file and the terminal; the
// class keeps only the layout and two counters, so a download of any length costs the same memory.
//
// Relies on: the caller opening and closing the file (CloseRecordsFile only writes the last line
// end) and constructing a fresh RecordsFile for every download. Whatever the instrument announces
// is taken as it comes, but nothing is read or written outside the payload, the 25-entry tables or
// the 500-character text buffer: fields past the 25th are counted but not written, label widths
// are clamped to 0..11, negative widths to 0, negative counts to 0, and a value that cannot fit
// its column or the buffer becomes asterisks.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace ventaro {

inline constexpr size_t kRecordPayloadSize = 128;
inline constexpr int kMaxRecordFields = 25;
inline constexpr int kMaxLabelWidth = 11;
inline constexpr size_t kRecordTitleSize = 32;
// Where one value is formatted, its terminating NUL included.
inline constexpr size_t kRecordTextSize = 500;
inline constexpr int kValuesPerBlock = 32;

// What the first six blocks announce, exactly as received (clamping happens where it is used).
struct RecordLayout {
    std::string titleLine1;
    std::string titleLine2;
    int16_t totalValues = 0;
    int16_t fieldsPerRecord = 0;
    std::array<int16_t, kMaxRecordFields> fieldWidths{};
    std::array<int16_t, kMaxRecordFields> fieldPrecisions{};
    std::array<std::string, kMaxRecordFields> labelRow1;
    std::array<std::string, kMaxRecordFields> labelRow2;
};

// One value's column text: "%*.*f" of the value (a negative precision means six digits), or
// NAN, INF, -INF right-aligned the same way; a text longer than the width, or one that would not
// fit the text buffer, becomes min(width, 12) asterisks. A negative width counts as 0.
std::string FormatRecordValue(double value, int width, int precision);

class RecordsFile {
  public:
    using Sink = std::function<void(std::string_view)>;

    // writeFile receives the bytes of the file; showTerminal the text to insert into the
    // terminal (the caller repaints after each call).
    RecordsFile(Sink writeFile, Sink showTerminal);

    void StoreRecordBlock(uint32_t ordinal, std::span<const uint8_t, kRecordPayloadSize> payload);
    // Writes the line end that closes the last line; closing the file is the caller's.
    void CloseRecordsFile();

    // Record lines begun so far, the incomplete last one included (a 16-bit count).
    int RecordCount() const { return recordCount_; }
    // Whole records announced: TotalValues / FieldsPerRecord, or TotalValues with no fields.
    int RecordsExpected() const;
    uint32_t ValueCount() const { return valueCount_; }
    const RecordLayout& Layout() const { return layout_; }

  private:
    void StoreHeader(std::span<const uint8_t, kRecordPayloadSize> payload);
    void StoreFormats(std::span<const uint8_t, kRecordPayloadSize> payload);
    void StoreLabels(std::span<const uint8_t, kRecordPayloadSize> payload,
                     std::array<std::string, kMaxRecordFields>& row, int first, int last);
    void WriteLabelRows();
    void StoreValues(std::span<const uint8_t, kRecordPayloadSize> payload);
    void StoreValue(float value);
    // The announced counts with the nonsense taken out: never negative.
    int Fields() const;
    int Total() const;

    Sink writeFile_;
    Sink showTerminal_;
    RecordLayout layout_;
    uint32_t valueCount_ = 0;
    uint16_t recordCount_ = 0;
};

}  // namespace ventaro
