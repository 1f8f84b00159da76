// Reading a records text file back: the file's bytes in, the table the download wrote out.
//
// How it works: the bytes are cut into lines at CR LF (at LF alone only in a file that has no
// CR LF at all, as an editor may leave it). A file with a header has two title lines,
// "NUMBER OF RECORDS: n", "FIELDS PER RECORD: f", a blank line, two label rows, a blank line
// and one line per record. A download with no fields per record writes no header: two empty
// label rows, a blank line and one value per line. Whatever follows the header may be missing
// when the download ended early, and the last record line may hold fewer values than the
// others. Where the columns lie is left to records_columns.h; here the lines are checked in
// order and the first one that breaks the form is reported with its number and what was
// expected there.
//
// Relies on: the standard library only, so the command-line tool and the fuzz target build it
// without Qt. The input is never read outside its bounds, and input longer than any records
// file can be is refused before any work is done.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ventaro {

// 32767 values of at most 499 characters and a space, with room for the header and line ends.
inline constexpr size_t kMaxRecordsTextSize = size_t{32} * 1024 * 1024;
// Fields past the 25th are counted by the instrument but never written.
inline constexpr int kMaxRecordsColumns = 25;

struct RecordRow {
    // Each value as written, without its column padding; a field of width 0 gives "". The
    // last record line may hold fewer values than there are columns.
    std::vector<std::string> texts;
    // The number a text stands for; empty for asterisks, NAN, INF and fields of width 0.
    std::vector<std::optional<double>> values;
};

struct RecordsTable {
    // False for a download with no fields per record: no titles or counts were written.
    bool hasHeader = false;
    std::string title1, title2;
    int numberOfRecords = 0;  // as the header states: whole records only
    int fieldsPerRecord = 0;  // as the header states
    // False when the download ended before its labels were written.
    bool hasLabelRows = false;
    // One per column, without the column padding.
    std::vector<std::string> labels1, labels2;
    // Characters each column takes in a record line; -1 where no record line shows it.
    std::vector<int> widths;
    std::vector<RecordRow> rows;
    // What was left out to read the rest: a value cut off at the end of the file.
    std::vector<std::string> notes;

    int Columns() const { return static_cast<int>(labels1.size()); }
};

struct RecordsTextError {
    int line = 0;  // counted from 1
    std::string expected;
    std::string Message() const;
};

struct RecordsTextResult {
    std::optional<RecordsTable> table;  // empty on an error
    RecordsTextError error;
};

RecordsTextResult ParseRecordsText(std::string_view bytes);

// A column's name for a header or a legend: the two labels joined by a space, or "Field n"
// when both are empty.
std::string ColumnName(const RecordsTable& table, int column);

// The number a value text stands for: "%f" output, or a hand-typed decimal.
std::optional<double> RecordValueOf(std::string_view text);

}  // namespace ventaro
