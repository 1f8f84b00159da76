#include "viewer/records_text.h"

#include "viewer/records_columns.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <map>

namespace ventaro {

namespace {

constexpr std::string_view kNumberLine = "NUMBER OF RECORDS: ";
constexpr std::string_view kFieldsLine = "FIELDS PER RECORD: ";
constexpr int kMaxCount = 32767;  // both counts are 16-bit on the instrument
constexpr size_t kOverflowStars = 12;

struct Lines {
    std::vector<std::string_view> text;
    bool terminated = true;  // the last line has its line end
};

Lines SplitLines(std::string_view bytes) {
    const std::string_view end = bytes.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
    Lines lines;
    size_t at = 0;
    while (at < bytes.size()) {
        const size_t next = bytes.find(end, at);
        if (next == std::string_view::npos) {
            std::string_view rest = bytes.substr(at);
            if (end.size() == 2 && rest.ends_with('\r')) {
                rest.remove_suffix(1);  // a line end cut between its CR and its LF
            }
            lines.text.push_back(rest);
            lines.terminated = false;
            break;
        }
        lines.text.push_back(bytes.substr(at, next - at));
        at = next + end.size();
    }
    return lines;
}

std::string_view Trimmed(std::string_view s) {
    const size_t first = s.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

std::optional<int> WholeNumber(std::string_view s, int low, int high) {
    int value = 0;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (s.empty() || error != std::errc() || end != s.data() + s.size() || value < low ||
        value > high) {
        return std::nullopt;
    }
    return value;
}

std::string Count(int n, const char* one, const char* many) {
    return std::to_string(n) + ' ' + (n == 1 ? one : many);
}

class Reader {
  public:
    explicit Reader(std::string_view bytes) : lines_(SplitLines(bytes)) {}
    RecordsTextResult Run();

  private:
    bool Fail(size_t index, std::string expected) {
        error_ = {int(index) + 1, std::move(expected)};
        return false;
    }
    bool Has(size_t index) const { return index < lines_.text.size(); }
    std::string_view Line(size_t index) const { return lines_.text[index]; }

    bool ReadHeader();
    bool ReadWithoutHeader();
    bool ReadLabelRows();
    bool ReadRecords(size_t first);
    bool ReadRecordLines(size_t first, size_t end, bool mayBeCut);
    std::vector<std::vector<int>> Layouts(size_t first, size_t end, bool mayBeCut);
    std::vector<std::vector<int>> OneLineLayouts(size_t index, bool mayBeCut);
    std::optional<std::vector<int>> Search(std::span<const std::string_view> lines, int fields,
                                           std::string_view partial = {});
    size_t Blame(std::span<const std::string_view> lines, std::span<const size_t> at);
    bool ReadRecordLine(size_t index, bool last, bool mayBeCut);
    bool MayBeCut(std::string_view text, size_t written, int width) const;
    bool CutLabelRows();
    std::string LineOfValues() const;

    static constexpr size_t kLabelRow1 = 5;
    Lines lines_;
    RecordsTable table_;
    int columns_ = 0;
    std::vector<std::string_view> labelRows_;
    bool widthsFromLastLine_ = false;
    RecordsTextError error_;
};

RecordsTextResult Reader::Run() {
    bool ok = false;
    if (lines_.text.empty()) {
        ok = Fail(0, "a title line, found an empty file");
    } else if (Has(2) && Line(2).starts_with(kNumberLine)) {
        ok = ReadHeader();
    } else if (Line(0).empty()) {
        ok = ReadWithoutHeader();
    } else {
        ok = Fail(std::min<size_t>(lines_.text.size(), 2),
                  "\"NUMBER OF RECORDS: \" and a count" +
                      std::string(Has(2) ? "" : ", found the end of the file"));
    }
    if (!ok) {
        return {std::nullopt, error_};
    }
    table_.labels1.resize(size_t(columns_));
    table_.labels2.resize(size_t(columns_));
    return {std::move(table_), {}};
}

bool Reader::ReadHeader() {
    table_.hasHeader = true;
    table_.title1 = Line(0);
    table_.title2 = Line(1);
    const auto records = WholeNumber(Line(2).substr(kNumberLine.size()), 0, kMaxCount);
    if (!records) {
        return Fail(2, "\"NUMBER OF RECORDS: \" and a count from 0 to 32767");
    }
    const std::string fieldsLine = "\"FIELDS PER RECORD: \" and a count from 1 to 32767";
    if (!Has(3)) {
        return Fail(3, fieldsLine + ", found the end of the file");
    }
    const auto fields = Line(3).starts_with(kFieldsLine)
                            ? WholeNumber(Line(3).substr(kFieldsLine.size()), 1, kMaxCount)
                            : std::nullopt;
    if (!fields) {
        return Fail(3, fieldsLine);
    }
    table_.numberOfRecords = *records;
    table_.fieldsPerRecord = *fields;
    columns_ = std::min(*fields, kMaxRecordsColumns);
    table_.widths.assign(size_t(columns_), -1);
    if (Has(4) && !Line(4).empty()) {
        return Fail(4, "an empty line under the header");
    }
    if (!Has(kLabelRow1)) {
        return true;
    }
    if (Line(kLabelRow1).empty()) {
        // The closing line of a download that ended before its labels: nothing may follow.
        return Has(kLabelRow1 + 1)
                   ? Fail(kLabelRow1 + 1, "the end of the file after a download with no labels")
                   : true;
    }
    if (!ReadLabelRows()) {
        return false;
    }
    const size_t blank = kLabelRow1 + 2;
    if (Has(blank) && !Line(blank).empty()) {
        return Fail(blank, "an empty line above the records");
    }
    return ReadRecords(blank + 1) && CutLabelRows();
}

bool Reader::ReadLabelRows() {
    table_.hasLabelRows = true;
    for (size_t i = kLabelRow1; i < kLabelRow1 + 2 && Has(i); ++i) {
        if (!Line(i).starts_with(' ')) {
            return Fail(i, "a label row: a space before each label");
        }
        labelRows_.push_back(Line(i));
    }
    if (labelRows_.size() < 2) {
        table_.notes.push_back("line 7: the file ends before the second label row");
    }
    return true;
}

// With no fields per record: two empty label rows, a blank line, then one value per line.
bool Reader::ReadWithoutHeader() {
    columns_ = 1;
    table_.widths.assign(1, -1);
    if (!Has(1)) {
        return true;  // only the closing line: the download ended before its labels
    }
    if (!Line(1).empty()) {
        return Fail(1, "an empty line: a file without a header has empty label rows");
    }
    table_.hasLabelRows = true;
    if (Has(2) && !Line(2).empty()) {
        return Fail(2, "an empty line above the records");
    }
    return ReadRecords(3);
}

std::string Reader::LineOfValues() const {
    return "a record line: " + Count(columns_, "value", "values") +
           ", each after a space and lined up with the other record lines";
}

bool Reader::ReadRecords(size_t first) {
    size_t end = lines_.text.size();
    while (end > first && Line(end - 1).empty()) {
        --end;  // blank lines an editor left at the end
    }
    const size_t longest = size_t(columns_) * (kMaxValueChars + 1);
    for (size_t i = first; i < end; ++i) {
        if (!Line(i).starts_with(' ')) {
            return Fail(i, "a record line: a space before each value");
        }
        if (Line(i).size() > longest) {
            return Fail(i, "a record line of at most " + std::to_string(longest) + " characters");
        }
    }
    if (first >= end) {
        return true;
    }
    // Only a file that lost its closing line can end in the middle of a value.
    const bool mayBeCut = end == lines_.text.size() && !lines_.terminated;
    const auto layouts =
        first + 1 == end ? OneLineLayouts(first, mayBeCut) : Layouts(first, end, mayBeCut);
    if (layouts.empty()) {
        return false;
    }
    // The first layout every line reads with; the first one's complaint if none does.
    const size_t notes = table_.notes.size();
    std::optional<RecordsTextError> firstError;
    for (const std::vector<int>& widths : layouts) {
        if (widths.size() > table_.widths.size()) {
            continue;  // never made so; a layout wider than the table is not tried
        }
        std::copy(widths.begin(), widths.end(), table_.widths.begin());
        std::fill(table_.widths.begin() + ptrdiff_t(widths.size()), table_.widths.end(), -1);
        table_.rows.clear();
        table_.notes.resize(notes);
        if (ReadRecordLines(first, end, mayBeCut)) {
            return true;
        }
        firstError = firstError.value_or(error_);
    }
    error_ = firstError.value_or(RecordsTextError{int(first) + 1, LineOfValues()});
    return false;
}

bool Reader::ReadRecordLines(size_t first, size_t end, bool mayBeCut) {
    table_.rows.reserve(end - first);
    for (size_t i = first; i < end; ++i) {
        if (!ReadRecordLine(i, i + 1 == end, mayBeCut && i + 1 == end)) {
            return false;
        }
    }
    return true;
}

std::optional<std::vector<int>> Reader::Search(std::span<const std::string_view> lines, int fields,
                                               std::string_view partial) {
    if (auto widths = FindColumnWidths(lines, labelRows_, fields, partial)) {
        return widths;
    }
    return FindColumnWidths(lines, {}, fields, partial);  // label rows that only look full-width
}

std::vector<std::vector<int>> Reader::Layouts(size_t first, size_t end, bool mayBeCut) {
    const size_t last = end - 1;
    // Lines of the usual length share their columns; a value too wide for a column of more
    // than 12 characters shortens its line, since it prints as only 12 asterisks.
    std::map<size_t, size_t> lengths;
    for (size_t i = first; i < last; ++i) {
        ++lengths[Line(i).size()];
    }
    const size_t usual =
        std::max_element(lengths.begin(), lengths.end(), [](auto& a, auto& b) {
            return a.second < b.second || (a.second == b.second && a.first < b.first);
        })->first;
    std::vector<std::string_view> aligned;
    std::vector<size_t> at;
    for (size_t i = first; i < end; ++i) {
        if (Line(i).size() == usual) {
            aligned.push_back(Line(i));
            at.push_back(i);
        }
    }
    std::vector<std::vector<int>> layouts;
    // A shorter last line is most likely the incomplete last record: where it fits, it settles
    // which columns are empty when the full lines alone leave that open.
    const std::string_view tail = Line(last).size() < usual ? Line(last) : std::string_view();
    for (std::string_view partial : {tail, std::string_view()}) {
        if (auto widths = Search(aligned, columns_, partial)) {
            layouts.push_back(std::move(*widths));
        }
    }
    const std::span full(lines_.text.data() + first, last - first);
    if (auto widths = PlaceEmptyColumns(full, Line(last), !mayBeCut, columns_)) {
        layouts.push_back(std::move(*widths));
    }
    if (layouts.empty()) {
        Fail(Blame(aligned, at), LineOfValues());
    }
    return layouts;
}

// One record line alone shows its columns only as far as it goes. When the header promises a
// whole record and the file is closed, the line is taken as whole; otherwise it may be the
// incomplete last record (or cut off), and the fewest empty columns that fit come first. The
// width of a value that may be cut short is left unknown.
std::vector<std::vector<int>> Reader::OneLineLayouts(size_t index, bool mayBeCut) {
    widthsFromLastLine_ = true;
    std::string_view line = Line(index);
    if (mayBeCut) {
        line = line.substr(0, line.find_last_not_of(' ') + 1);
    }
    const bool whole = !mayBeCut && (!table_.hasHeader || table_.numberOfRecords >= 1);
    std::vector<std::pair<int, bool>> tries;  // (columns, empty columns allowed)
    if (whole) {
        tries.emplace_back(columns_, true);
    }
    for (bool empties : {false, true}) {
        for (int fields = whole ? columns_ - 1 : columns_; fields >= 1; --fields) {
            tries.emplace_back(fields, empties);
        }
    }
    std::vector<std::vector<int>> layouts;
    for (auto [fields, empties] : tries) {
        auto widths = Search(std::span(&line, 1), fields);
        if (widths && (empties || std::count(widths->begin(), widths->end(), 0) == 0)) {
            if (mayBeCut) {
                widths->back() = -1;
            }
            layouts.push_back(std::move(*widths));
        }
    }
    if (mayBeCut) {
        layouts.emplace_back();  // nothing known: what is left is the cut value
    }
    if (layouts.empty()) {
        Fail(index, LineOfValues());
    }
    return layouts;
}

// The first line that leaves the lines above it with no common columns.
size_t Reader::Blame(std::span<const std::string_view> lines, std::span<const size_t> at) {
    size_t fits = 0, fails = lines.size();  // prefix lengths
    while (fails - fits > 1) {
        const size_t mid = fits + (fails - fits) / 2;
        if (FindColumnWidths(lines.first(mid), {}, columns_)) {
            fits = mid;
        } else {
            fails = mid;
        }
    }
    return at[fails - 1];
}

bool Reader::ReadRecordLine(size_t index, bool last, bool mayBeCut) {
    const std::string_view line = Line(index);
    RecordRow row;
    size_t p = 0;
    for (int i = 0; i < columns_ && p < line.size(); ++i) {
        if (line[p] != ' ') {
            return Fail(index, LineOfValues());
        }
        const size_t start = ++p;
        const int width = table_.widths[size_t(i)];
        if (width == 0) {
            row.texts.emplace_back();
            row.values.emplace_back();
            continue;
        }
        while (p < line.size() && line[p] == ' ') {
            ++p;
        }
        const size_t word = p;
        while (p < line.size() && line[p] != ' ') {
            ++p;
        }
        const std::string_view text = line.substr(word, p - word);
        if (mayBeCut && p == line.size() && MayBeCut(text, p - start, width)) {
            table_.notes.push_back("line " + std::to_string(index + 1) +
                                   ": the file ends without its last line end, maybe inside "
                                   "a value; that value is left out");
            break;
        }
        if (text.empty()) {
            return Fail(index, LineOfValues());
        }
        row.texts.emplace_back(text);
        row.values.push_back(RecordValueOf(text));
    }
    if (p < line.size() && row.texts.size() == size_t(columns_)) {
        return Fail(index, "the end of the record after " + Count(columns_, "value", "values"));
    }
    if (row.texts.size() < size_t(columns_) && !last) {
        return Fail(index, LineOfValues());  // only the last record may be incomplete
    }
    // A line cut off before its first value holds no record.
    if (!row.texts.empty()) {
        table_.rows.push_back(std::move(row));
    }
    return true;
}

// The last value of a file that lost its closing line is trusted only when a full column of
// the other lines shows it is whole.
bool Reader::MayBeCut(std::string_view text, size_t written, int width) const {
    const bool stars = text == std::string_view("************", kOverflowStars);
    return text.empty() || widthsFromLastLine_ || width < 0 || (written < size_t(width) && !stars);
}

bool Reader::CutLabelRows() {
    const std::vector<int> unknown(size_t(columns_), -1);
    for (size_t r = 0; r < labelRows_.size(); ++r) {
        auto labels = SplitLabelRow(labelRows_[r], table_.widths);
        if (!labels && table_.widths != unknown) {
            labels = SplitLabelRow(labelRows_[r], unknown);
        }
        if (!labels) {
            return Fail(kLabelRow1 + r, "a label row: " + Count(columns_, "label", "labels") +
                                            " of at most 11 characters, each after a space");
        }
        auto& row = r == 0 ? table_.labels1 : table_.labels2;
        for (std::string_view label : *labels) {
            row.emplace_back(Trimmed(label));
        }
    }
    return true;
}

}  // namespace

std::string RecordsTextError::Message() const {
    return "line " + std::to_string(line) + ": expected " + expected;
}

RecordsTextResult ParseRecordsText(std::string_view bytes) {
    if (bytes.size() > kMaxRecordsTextSize) {
        return {std::nullopt,
                {1, "a records file of at most " + std::to_string(kMaxRecordsTextSize) +
                        " bytes, found " + std::to_string(bytes.size())}};
    }
    return Reader(bytes).Run();
}

std::string ColumnName(const RecordsTable& table, int column) {
    const auto label = [&](const std::vector<std::string>& row) {
        return column >= 0 && size_t(column) < row.size() ? Trimmed(row[size_t(column)])
                                                          : std::string_view();
    };
    const std::string_view first = label(table.labels1), second = label(table.labels2);
    if (first.empty() && second.empty()) {
        return "Field " + std::to_string(column + 1);
    }
    if (first.empty() || second.empty()) {
        return std::string(first.empty() ? second : first);
    }
    return std::string(first) + ' ' + std::string(second);
}

std::optional<double> RecordValueOf(std::string_view text) {
    const size_t digit = text.starts_with('-') ? 1 : 0;
    if (digit >= text.size() ||
        !(std::isdigit(static_cast<unsigned char>(text[digit])) || text[digit] == '.')) {
        return std::nullopt;  // asterisks, NAN, INF, or nothing
    }
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace ventaro
