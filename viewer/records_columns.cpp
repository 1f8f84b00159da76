#include "viewer/records_columns.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <numeric>

namespace ventaro {

namespace {

// The search for column widths. State (field, p): the field's separating space is at p.
class ColumnSearch {
  public:
    ColumnSearch(std::span<const std::string_view> lines,
                 std::span<const std::string_view> labelRows, int fields, std::string_view partial)
        : fields_(fields), length_(lines.front().size()) {
        Scan(lines, labelRows, partial);
        memo_.assign(size_t(fields_) * length_, kUnknown);
        valueTaken_.assign(memo_.size(), 0);
    }

    std::optional<std::vector<int>> Run() {
        if (!SeparatorAt(0) || !Fits(0, 0)) {
            return std::nullopt;
        }
        std::vector<int> widths;
        size_t p = 0;
        for (int field = 0; field < fields_; ++field) {
            const size_t end = valueTaken_[Index(field, p)] ? nextEnd_[p + 1] + 1 : p + 1;
            widths.push_back(int(end - p - 1));
            p = end;
        }
        return widths;
    }

  private:
    static constexpr int8_t kUnknown = -1;

    void Scan(std::span<const std::string_view> lines, std::span<const std::string_view> labelRows,
              std::string_view partial) {
        separator_.assign(length_, 1);
        commonEnd_.assign(length_, 1);
        std::vector<uint8_t> anyEnd(length_, 0);
        const auto add = [&](std::string_view line, size_t known) {
            for (size_t p = 0; p < line.size(); ++p) {
                const bool space = line[p] == ' ';
                separator_[p] &= space;
                if (p < known) {
                    const bool wordEnd = !space && (p + 1 == length_ || line[p + 1] == ' ');
                    commonEnd_[p] &= wordEnd;
                    anyEnd[p] |= wordEnd;
                }
            }
        };
        for (std::string_view line : lines) {
            add(line, length_);
        }
        if (!partial.empty()) {
            // Past its end nothing is known, and its last character may not end its value.
            add(partial, partial.size() - 1);
        }
        for (std::string_view row : labelRows) {
            if (row.size() == length_) {
                for (size_t p = 0; p < length_; ++p) {
                    separator_[p] &= row[p] == ' ';
                }
            }
        }
        nextEnd_.assign(length_ + 1, length_);
        for (size_t p = length_; p-- > 0;) {
            nextEnd_[p] = anyEnd[p] ? p : nextEnd_[p + 1];
        }
    }

    size_t Index(int field, size_t p) const { return size_t(field) * length_ + p; }
    bool SeparatorAt(size_t p) const { return p < length_ && separator_[p]; }

    // The field ending just before `end`: does the rest of the line fit after it?
    bool RestFits(int field, size_t end) {
        if (field == fields_ - 1) {
            return end == length_;
        }
        return SeparatorAt(end) && Fits(field + 1, end);
    }

    bool Fits(int field, size_t p) {
        int8_t& known = memo_[Index(field, p)];
        if (known != kUnknown) {
            return known != 0;
        }
        // A value column runs to the first word end of any line, and every line must end a
        // word there; that is the only width a value can take from here.
        const size_t q = nextEnd_[p + 1];
        if (q < length_ && commonEnd_[q] && RestFits(field, q + 1)) {
            valueTaken_[Index(field, p)] = 1;
            known = 1;
        } else {
            known = RestFits(field, p + 1) ? 1 : 0;
        }
        return known != 0;
    }

    int fields_;
    size_t length_;
    std::vector<uint8_t> separator_, commonEnd_;
    std::vector<size_t> nextEnd_;
    std::vector<int8_t> memo_;
    std::vector<uint8_t> valueTaken_;
};

// Longest labels first, each after a space, none longer than its cap.
class LabelSearch {
  public:
    LabelSearch(std::string_view row, std::vector<size_t> caps)
        : row_(row), caps_(std::move(caps)), memo_(caps_.size() * (row.size() + 1), -1) {}

    std::optional<std::vector<std::string_view>> Run() {
        if (!Fits(0, 0)) {
            return std::nullopt;
        }
        std::vector<std::string_view> labels;
        size_t p = 0;
        for (size_t i = 0; i < caps_.size(); ++i) {
            const size_t length = size_t(memo_[i * (row_.size() + 1) + p]) - 1;
            labels.push_back(row_.substr(p + 1, length));
            p += 1 + length;
        }
        return labels;
    }

  private:
    // memo_ holds 0 for no fit, or 1 + the chosen label length.
    bool Fits(size_t i, size_t p) {
        int& known = memo_[i * (row_.size() + 1) + p];
        if (known >= 0) {
            return known != 0;
        }
        known = 0;
        if (p >= row_.size() || row_[p] != ' ') {
            return false;
        }
        const size_t room = row_.size() - p - 1;
        for (size_t length = std::min(caps_[i], room) + 1; length-- > 0;) {
            const size_t end = p + 1 + length;
            const bool fits = i + 1 == caps_.size() ? end == row_.size() : Fits(i + 1, end);
            if (fits) {
                known = int(length) + 1;
                return true;
            }
        }
        return false;
    }

    std::string_view row_;
    std::vector<size_t> caps_;
    std::vector<int> memo_;
};

// The spaces before each word of a line, and after its last one.
struct Gaps {
    std::vector<size_t> before;
    size_t after = 0;
};

Gaps GapsOf(std::string_view line) {
    Gaps gaps;
    size_t spaces = 0;
    for (size_t p = 0; p < line.size(); ++p) {
        if (line[p] == ' ') {
            ++spaces;
            continue;
        }
        if (p == 0 || line[p - 1] == ' ') {
            gaps.before.push_back(spaces);
        }
        spaces = 0;
    }
    gaps.after = spaces;
    return gaps;
}

// How many empty columns each gap can hold, narrowed by one more line's first `words` gaps.
bool Narrow(const Gaps& gaps, size_t words, std::vector<size_t>& room) {
    for (size_t j = 0; j < words; ++j) {
        if (gaps.before[j] == 0) {
            return false;  // a word with no separating space before it
        }
        room[j] = std::min(room[j], gaps.before[j] - 1);
    }
    return true;
}

}  // namespace

std::optional<std::vector<int>> PlaceEmptyColumns(std::span<const std::string_view> full,
                                                  std::string_view last, bool lastEnded,
                                                  int fields) {
    if (full.empty() || fields <= 0) {
        return std::nullopt;
    }
    const Gaps first = GapsOf(full.front());
    const size_t words = first.before.size();
    if (words + first.after > size_t(fields)) {
        return std::nullopt;
    }
    std::vector<size_t> room(words, SIZE_MAX), placed(words, 0);
    for (std::string_view line : full) {
        const Gaps gaps = GapsOf(line);
        if (gaps.before.size() != words || gaps.after != first.after ||
            !Narrow(gaps, words, room)) {
            return std::nullopt;
        }
    }
    const Gaps tail = GapsOf(last);
    const size_t shown = tail.before.size();
    if (shown > words || !Narrow(tail, shown, room)) {
        return std::nullopt;
    }
    if (lastEnded && shown == words && tail.after != first.after) {
        return std::nullopt;
    }
    if (lastEnded && shown < words) {
        placed[shown] = tail.after;  // empty columns written after its last value
    }
    size_t empty = size_t(fields) - words - first.after;
    for (size_t j = 0; j < words; ++j) {
        if (placed[j] > room[j] || placed[j] > empty) {
            return std::nullopt;
        }
        empty -= placed[j];
    }
    for (size_t j = words; j-- > 0 && empty > 0;) {
        const size_t more = std::min(room[j] - placed[j], empty);
        placed[j] += more;
        empty -= more;
    }
    if (empty > 0) {
        return std::nullopt;
    }
    std::vector<int> widths;
    for (size_t j = 0; j < words; ++j) {
        widths.insert(widths.end(), placed[j], 0);
        widths.push_back(-1);
    }
    widths.insert(widths.end(), first.after, 0);
    return widths;
}

std::optional<std::vector<int>> FindColumnWidths(std::span<const std::string_view> lines,
                                                 std::span<const std::string_view> labelRows,
                                                 int fields, std::string_view partial) {
    if (lines.empty() || fields <= 0 || lines.front().empty() ||
        lines.front().size() > size_t(fields) * (kMaxValueChars + 1) ||
        partial.size() >= lines.front().size()) {
        return std::nullopt;
    }
    for (std::string_view line : lines) {
        if (line.size() != lines.front().size()) {
            return std::nullopt;
        }
    }
    return ColumnSearch(lines, labelRows, fields, partial).Run();
}

std::optional<std::vector<std::string_view>> SplitLabelRow(std::string_view row,
                                                           std::span<const int> widths) {
    if (widths.empty()) {
        return row.empty() ? std::optional(std::vector<std::string_view>{}) : std::nullopt;
    }
    std::vector<size_t> caps;
    for (int w : widths) {
        caps.push_back(size_t(w < 0 ? kMaxLabelChars : std::min(w, kMaxLabelChars)));
    }
    // Labels that fill their columns sit exactly under them; no row is longer than that.
    const size_t full = std::accumulate(caps.begin(), caps.end(), caps.size());
    if (row.size() > full) {
        return std::nullopt;
    }
    if (row.size() == full) {
        std::vector<std::string_view> labels;
        size_t p = 0;
        for (size_t cap : caps) {
            if (row[p] != ' ') {
                labels.clear();
                break;
            }
            labels.push_back(row.substr(p + 1, cap));
            p += 1 + cap;
        }
        if (!labels.empty()) {
            return labels;
        }
    }
    return LabelSearch(row, std::move(caps)).Run();
}

}  // namespace ventaro
