// The records as CSV for spreadsheets and scripts (RFC 4180).
//
// How it works: a header row of column names (the two label rows joined by a space), then one
// row per record with each value as the text file shows it, without its column padding. Cells
// that hold no number the file could state (asterisks for a value too wide for its column, a
// field of width 0, the missing tail of an incomplete last record) are left empty, so every
// row has as many fields as the header. Lines end in CR LF; a field holding a comma, a double
// quote, a CR or an LF is quoted, its quotes doubled. Bytes pass through unchanged.
//
// Relies on: a table from ParseRecordsText; the standard library only.
#pragma once

#include "viewer/records_text.h"

#include <optional>
#include <string>
#include <string_view>

namespace ventaro {

std::string CsvField(std::string_view text);
std::string RecordsCsv(const RecordsTable& table);

// A records text file straight to CSV; nothing, and the reason in *error, when it is not one.
std::optional<std::string> RecordsTextToCsv(std::string_view text, RecordsTextError* error);

}  // namespace ventaro
