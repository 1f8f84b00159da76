// Where the columns of a records text file lie.
//
// How it works: a record line is, for each field, one space and then the value right-aligned
// in the field's width. A value's text never holds a space and is never empty unless its field
// has width 0, which leaves only the space. So in full-length lines a column of width w > 0 ends
// where every line ends a word, and no line ends a word inside it; the one thing left open is
// which fields have width 0, since their spaces look like padding. A search over (field,
// position) finds the widths that all the lines, and the label rows that fill their columns,
// agree on; where a value column and an empty one both fit, it takes the value column.
//
// Label rows are cut at the same columns when they fill them (labels hold at most 11
// characters); a label may be shorter than its column and may hold spaces, so otherwise the
// row is cut into the longest labels that fit, each after a space.
//
// Relies on: the lines handed to FindColumnWidths being of one length. Reads nothing outside
// the given views.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace ventaro {

inline constexpr int kMaxLabelChars = 11;
// A value is formatted into 500 characters, its terminating NUL included.
inline constexpr size_t kMaxValueChars = 499;

// The width of each of `fields` columns, or nothing when no layout fits every line. Label rows
// only constrain where the separating spaces are, and only when of the lines' length. A shorter
// `partial` line (an incomplete last record, or one cut off) must fit as far as it goes; its
// last character may be the middle of a value.
std::optional<std::vector<int>> FindColumnWidths(std::span<const std::string_view> lines,
                                                 std::span<const std::string_view> labelRows,
                                                 int fields, std::string_view partial = {});

// Where the empty columns go when the full-length lines do not line up (a value too wide for a
// column of more than 12 characters prints as only 12 asterisks and shortens its line): every
// full line has the same number of words and of trailing spaces, each empty column adds one
// space before a word or at the end, so a gap holds at most its fewest spaces less the
// separator. Empty columns go as late as they fit, as in FindColumnWidths. `last` is the last
// record line, which may be incomplete; `lastEnded` says whether its line end is there. Widths
// of value columns come back unknown (-1).
std::optional<std::vector<int>> PlaceEmptyColumns(std::span<const std::string_view> full,
                                                  std::string_view last, bool lastEnded,
                                                  int fields);

// One label per width (-1: unknown, taken as up to 11 characters), without trimming; nothing
// when the row cannot be cut that way.
std::optional<std::vector<std::string_view>> SplitLabelRow(std::string_view row,
                                                           std::span<const int> widths);

}  // namespace ventaro
