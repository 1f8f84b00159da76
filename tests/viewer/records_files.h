// Records text files as the program writes them (the simulator's payloads through the records
// file writer), and the value texts they must show, worked out here independently.
#pragma once

#include "device/records_file.h"
#include "sim/records.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

namespace ventaro::viewer_test {

using Rows = std::vector<std::vector<std::string>>;

// A download of `set` that stored its first `blocks` blocks and, when `closed`, its closing line.
inline std::string WriteRecordsFile(const brenvix::RecordsSet& set,
                                    size_t blocks = std::numeric_limits<size_t>::max(),
                                    bool closed = true) {
    std::string file;
    RecordsFile writer([&file](std::string_view s) { file += s; }, [](std::string_view) {});
    const auto payloads = brenvix::RecordPayloads(set);
    for (size_t i = 0; i < payloads.size() && i < blocks; ++i) {
        writer.StoreRecordBlock(uint32_t(i + 1), payloads[i]);
    }
    if (closed) {
        writer.CloseRecordsFile();
    }
    return file;
}

inline std::string Trim(const std::string& s) {
    const size_t first = s.find_first_not_of(' ');
    return first == std::string::npos ? "" : s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// "%*.*f", and a text wider than its column becomes asterisks, at most 12; without the padding.
inline std::string ValueText(float value, int width, int precision) {
    char text[600];
    const int n = std::snprintf(text, sizeof text, "%*.*f", width, precision, double(value));
    if (n > width) {
        return std::string(size_t(std::min(width, 12)), '*');
    }
    return Trim(text);
}

// The cells of every record line of a finished download of `set` (finite values, sane widths).
inline Rows ExpectedRows(const brenvix::RecordsSet& set) {
    const int fields = std::max<int>(set.fieldsPerRecord, 0);
    const int total = std::min<int>(set.totalValues, int(set.values.size()));
    Rows rows;
    for (int v = 0; v < total; ++v) {
        const int f = fields == 0 ? 0 : v % fields;
        if (f == 0) {
            rows.emplace_back();
        }
        if (f < 25) {
            rows.back().push_back(
                ValueText(set.values[size_t(v)], set.widths[size_t(f)], set.precisions[size_t(f)]));
        }
    }
    return rows;
}

}  // namespace ventaro::viewer_test
