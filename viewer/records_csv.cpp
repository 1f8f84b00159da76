#include "viewer/records_csv.h"

namespace ventaro {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

bool AllStars(std::string_view text) {
    return !text.empty() && text.find_first_not_of('*') == std::string_view::npos;
}

}  // namespace

std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        return std::string(text);
    }
    std::string quoted = "\"";
    for (char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + '"';
}

std::string RecordsCsv(const RecordsTable& table) {
    const int columns = table.Columns();
    std::string csv;
    for (int c = 0; c < columns; ++c) {
        if (c > 0) {
            csv += ',';
        }
        csv += CsvField(ColumnName(table, c));
    }
    csv += kLineEnd;
    for (const RecordRow& row : table.rows) {
        for (int c = 0; c < columns; ++c) {
            if (c > 0) {
                csv += ',';
            }
            if (size_t(c) < row.texts.size() && !AllStars(row.texts[size_t(c)])) {
                csv += CsvField(row.texts[size_t(c)]);
            }
        }
        csv += kLineEnd;
    }
    return csv;
}

std::optional<std::string> RecordsTextToCsv(std::string_view text, RecordsTextError* error) {
    RecordsTextResult parsed = ParseRecordsText(text);
    if (!parsed.table) {
        if (error != nullptr) {
            *error = parsed.error;
        }
        return std::nullopt;
    }
    return RecordsCsv(*parsed.table);
}

}  // namespace ventaro
