// Arbitrary bytes read as a records text file, then used as the payloads of a download whose
// file is read back. A crash, a sanitizer report or a broken invariant (checked with a trap) is
// a finding:
// - a table has 1 to 25 columns with a label and a width each, no row wider than that, no space
//   in a value text, a number exactly where the text is one, and a CSV of one line per row and
//   one for the header;
// - an error names a line of the file;
// - whatever the writer makes reads back, titles and counts as written and the values' texts in
//   their order (unless a title or label holds a CR LF, which no reader can tell from a line end).
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "device/records_file.h"
#include "viewer/records_csv.h"
#include "viewer/records_text.h"

namespace {

using ventaro::RecordsTable;

void Check(bool ok) {
    if (!ok) {
        __builtin_trap();
    }
}

// CSV records: line ends outside quotes.
size_t CsvRecords(std::string_view csv) {
    size_t records = 0;
    bool quoted = false;
    for (size_t i = 0; i < csv.size(); ++i) {
        if (csv[i] == '"') {
            quoted = !quoted;
        } else if (!quoted && csv.substr(i, 2) == "\r\n") {
            ++records;
        }
    }
    return records;
}

void CheckTable(const RecordsTable& t) {
    const auto columns = size_t(t.Columns());
    Check(columns >= 1 && columns <= size_t(ventaro::kMaxRecordsColumns));
    Check(t.labels2.size() == columns && t.widths.size() == columns);
    for (const auto& row : t.rows) {
        Check(!row.texts.empty() && row.texts.size() <= columns);
        Check(row.values.size() == row.texts.size());
        for (size_t c = 0; c < row.texts.size(); ++c) {
            Check(row.texts[c].find(' ') == std::string::npos);
            Check(row.values[c] == ventaro::RecordValueOf(row.texts[c]));
        }
    }
    Check(CsvRecords(ventaro::RecordsCsv(t)) == t.rows.size() + 1);
}

void ReadAsText(std::string_view bytes) {
    const auto result = ventaro::ParseRecordsText(bytes);
    if (result.table) {
        CheckTable(*result.table);
    } else {
        const auto lines = size_t(std::count(bytes.begin(), bytes.end(), '\n'));
        Check(result.error.line >= 1 && size_t(result.error.line) <= lines + 2);
        Check(!result.error.expected.empty());
    }
}

std::vector<std::string> WordsFrom(std::string_view file, size_t firstLine) {
    std::vector<std::string> words;
    size_t line = 0, at = 0;
    while (at < file.size()) {
        const size_t end = std::min(file.find("\r\n", at), file.size());
        if (line++ >= firstLine) {
            const std::string_view text = file.substr(at, end - at);
            for (size_t p = 0; p < text.size();) {
                const size_t start = text.find_first_not_of(' ', p);
                if (start == std::string_view::npos) {
                    break;
                }
                const size_t stop = std::min(text.find(' ', start), text.size());
                words.emplace_back(text.substr(start, stop - start));
                p = stop;
            }
        }
        at = end + 2;
    }
    return words;
}

bool HoldsLineEnd(const std::string& text) {
    return text.find("\r\n") != std::string::npos;
}

void RoundTrip(const uint8_t* data, size_t size) {
    if (size == 0) {
        return;
    }
    const bool closed = (data[0] & 1) != 0;
    std::string file;
    ventaro::RecordsFile writer([&file](std::string_view s) { file += s; },
                                [](std::string_view) {});
    uint32_t ordinal = 0;
    for (size_t at = 1; at < size; at += ventaro::kRecordPayloadSize) {
        std::array<uint8_t, ventaro::kRecordPayloadSize> payload{};
        std::memcpy(payload.data(), data + at, std::min(payload.size(), size - at));
        writer.StoreRecordBlock(++ordinal, payload);
    }
    if (closed) {
        writer.CloseRecordsFile();
    }
    const auto& layout = writer.Layout();
    const bool header = layout.fieldsPerRecord > 0;
    const int shown = std::min<int>(std::max<int>(layout.fieldsPerRecord, 0), 25);
    bool lineEnds = header && (HoldsLineEnd(layout.titleLine1) || HoldsLineEnd(layout.titleLine2));
    for (int i = 0; i < shown && ordinal >= 6; ++i) {
        lineEnds = lineEnds || HoldsLineEnd(layout.labelRow1[size_t(i)]) ||
                   HoldsLineEnd(layout.labelRow2[size_t(i)]);
    }
    if (lineEnds || file.empty()) {
        return;
    }
    const auto result = ventaro::ParseRecordsText(file);
    Check(result.table.has_value());
    const RecordsTable& t = *result.table;
    CheckTable(t);
    Check(t.hasHeader == header);
    if (header) {
        Check(t.title1 == layout.titleLine1 && t.title2 == layout.titleLine2);
        Check(t.numberOfRecords == writer.RecordsExpected());
        Check(t.fieldsPerRecord == layout.fieldsPerRecord);
    }
    std::vector<std::string> read;
    for (const auto& row : t.rows) {
        for (const auto& text : row.texts) {
            if (!text.empty()) {
                read.push_back(text);
            }
        }
    }
    const auto written =
        ordinal >= 7 ? WordsFrom(file, header ? 8 : 3) : std::vector<std::string>{};
    if (closed) {
        Check(read == written);
        Check(t.rows.size() == size_t(writer.RecordCount()));
    } else {
        // Without its closing line the last value may be left out as possibly cut short.
        Check(read.size() + 1 >= written.size() && read.size() <= written.size());
        Check(std::equal(read.begin(), read.end(), written.begin()));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ReadAsText(std::string_view(reinterpret_cast<const char*>(data), size));
    RoundTrip(data, size);
    return 0;
}
