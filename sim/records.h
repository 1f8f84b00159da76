// The records an instrument holds, and how they become block payloads.
//
// How it works: a RecordsSet is the instrument's view of its stored data (titles, layout, labels,
// values). RecordPayloads lays it out as the 128-byte payloads a records download carries: the
// header, the widths-and-precisions block, four label blocks, then 32 little-endian floats per
// block. Nothing is checked against the receiver's limits on purpose: a test may want a width of
// 40 or 30 fields to see what the application does with a layout it cannot print.
//
// Relies on: the host being little-endian is NOT assumed; numbers are written byte by byte.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace brenvix {

// What the instrument stores and sends on a records download.
struct RecordsSet {
    std::string title1, title2;   // up to 32 bytes each in the header (NUL padded; 32 = no NUL)
    int16_t totalValues = 0;      // header payload bytes 64-65 (LE)
    int16_t fieldsPerRecord = 0;  // bytes 66-67
    std::array<int16_t, 25> widths{}, precisions{};    // block 2
    std::array<std::string, 25> labels1{}, labels2{};  // blocks 3-6, packed by width
    std::vector<float> values;  // blocks 7.., 32 floats per block, padded with 0
};

using Payload = std::array<uint8_t, 128>;

// Five fields, three hundred records: a download of 53 blocks.
RecordsSet DemoRecords();
// Eight fields, 1200 records: 306 blocks, so block numbers wrap past 255 once.
RecordsSet LargeDemoRecords();
// Header, widths, the four label blocks, then the value blocks (none when values is empty).
std::vector<Payload> RecordPayloads(const RecordsSet& records);
// Reads the text format described in sim/README.md. On failure returns false and says why
// (with the line number) in *error; *out is then left unchanged.
bool LoadRecordsFile(const std::string& path, RecordsSet* out, std::string* error);
// The same, from text already in memory (what the file reader uses; handy for tests).
bool ParseRecordsText(const std::string& text, RecordsSet* out, std::string* error);

}  // namespace brenvix
