#include "sim/records.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

namespace brenvix {

namespace {

void PutLe16(Payload& p, size_t at, int16_t v) {
    const auto u = static_cast<uint16_t>(v);
    p[at] = static_cast<uint8_t>(u & 0xFF);
    p[at + 1] = static_cast<uint8_t>(u >> 8);
}

void PutText(Payload& p, size_t at, size_t room, const std::string& text) {
    // Exactly `room` characters leave no NUL: the receiver takes all of them as the text.
    const size_t n = std::min(room, text.size());
    std::memcpy(p.data() + at, text.data(), n);
}

// Labels lie one after another, each taking its field's width; a field of width 0 (or a
// nonsense negative one) takes nothing. A label that would run past the block is cut off at
// the block's end, so a bad layout still gives a 128-byte payload.
Payload LabelBlock(const RecordsSet& r, const std::array<std::string, 25>& labels, int first,
                   int last) {
    Payload p{};
    size_t pos = 0;
    for (int i = first; i <= last; ++i) {
        const int w = r.widths[static_cast<size_t>(i)];
        if (w <= 0) {
            continue;
        }
        if (pos >= p.size()) {
            break;
        }
        const size_t room = std::min(static_cast<size_t>(w), p.size() - pos);
        PutText(p, pos, room, labels[static_cast<size_t>(i)]);
        pos += static_cast<size_t>(w);
    }
    return p;
}

struct DemoField {
    int16_t width, precision;
    const char* label1;
    const char* label2;
};

RecordsSet MakeDemo(const char* title1, const char* title2, const DemoField* fields, int count,
                    int records) {
    RecordsSet r;
    r.title1 = title1;
    r.title2 = title2;
    r.fieldsPerRecord = static_cast<int16_t>(count);
    r.totalValues = static_cast<int16_t>(count * records);
    for (int i = 0; i < count; ++i) {
        const auto k = static_cast<size_t>(i);
        r.widths[k] = fields[i].width;
        r.precisions[k] = fields[i].precision;
        r.labels1[k] = fields[i].label1;
        r.labels2[k] = fields[i].label2;
    }
    r.values.reserve(static_cast<size_t>(count * records));
    for (int rec = 0; rec < records; ++rec) {
        for (int f = 0; f < count; ++f) {
            // Smooth daily-looking curves; quarter steps keep the floats exact in print.
            float v = 0;
            switch (f % 5) {
                case 0:
                    v = static_cast<float>(rec % 24);
                    break;
                case 1:
                    v = static_cast<float>(std::lround(80.0 * std::sin(rec * 0.26))) / 4.0f + 15.0f;
                    break;
                case 2:
                    v = static_cast<float>((rec * 7) % 400) / 4.0f;
                    break;
                case 3:
                    v = static_cast<float>((rec * 13 + f) % 60) / 4.0f;
                    break;
                default:
                    v = static_cast<float>((rec * 37 + f * 11) % 360);
                    break;
            }
            r.values.push_back(v);
        }
    }
    return r;
}

std::string Trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) {
        return "";
    }
    const auto e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

// A double-quoted string (no escapes: a label never needs a quote) or one bare word.
bool NextToken(const std::string& s, size_t* pos, std::string* token, bool* quoted) {
    size_t i = *pos;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) {
        ++i;
    }
    if (i >= s.size()) {
        return false;
    }
    if (s[i] == '"') {
        const auto close = s.find('"', i + 1);
        if (close == std::string::npos) {
            return false;
        }
        *token = s.substr(i + 1, close - i - 1);
        *quoted = true;
        *pos = close + 1;
        return true;
    }
    size_t j = i;
    while (j < s.size() && s[j] != ' ' && s[j] != '\t') {
        ++j;
    }
    *token = s.substr(i, j - i);
    *quoted = false;
    *pos = j;
    return true;
}

// A '#' that begins a word outside double quotes starts a comment to the end of the line.
std::string StripComment(const std::string& s) {
    bool quoted = false;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '"') {
            quoted = !quoted;
        } else if (s[i] == '#' && !quoted && (i == 0 || s[i - 1] == ' ' || s[i - 1] == '\t')) {
            return s.substr(0, i);
        }
    }
    return s;
}

bool ParseInt16(const std::string& s, int16_t* out) {
    try {
        size_t used = 0;
        const long v = std::stol(s, &used, 10);
        if (used != s.size() || v < -32768 || v > 32767) {
            return false;
        }
        *out = static_cast<int16_t>(v);
        return true;
    } catch (...) {
        return false;
    }
}

bool ParseFloat(const std::string& s, float* out) {
    if (s == "nan") {
        *out = std::nanf("");
        return true;
    }
    try {
        size_t used = 0;
        const float v = std::stof(s, &used);
        if (used != s.size()) {
            return false;
        }
        *out = v;
        return true;
    } catch (const std::out_of_range&) {
        // "1e40" and the like: the caller meant an infinity, which is what a float holds.
        *out = s[0] == '-' ? -INFINITY : INFINITY;
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace

RecordsSet DemoRecords() {
    static const DemoField kFields[] = {
        {5, 0, " HOUR", "   HH"},     {8, 2, "    TEMP", "   DEG C"}, {7, 1, "     RH", "    PCT"},
        {7, 2, "   WIND", "    M/S"}, {5, 0, "  DIR", "  DEG"},
    };
    return MakeDemo("BRENVIX SITE 12", "HOURLY MEANS", kFields, 5, 300);
}

RecordsSet LargeDemoRecords() {
    static const DemoField kFields[] = {
        {5, 0, " HOUR", "   HH"},     {8, 2, "   TEMP1", "   DEG C"},
        {7, 1, "     RH", "    PCT"}, {7, 2, "   WIND", "    M/S"},
        {5, 0, "  DIR", "  DEG"},     {8, 2, "   TEMP2", "   DEG C"},
        {7, 1, "  PRESS", "    HPA"}, {7, 2, "   RAIN", "     MM"},
    };
    return MakeDemo("BRENVIX SITE 40", "LONG TERM LOG", kFields, 8, 1200);
}

std::vector<Payload> RecordPayloads(const RecordsSet& r) {
    std::vector<Payload> out;
    Payload header{};
    PutText(header, 0, 32, r.title1);
    PutText(header, 32, 32, r.title2);
    PutLe16(header, 64, r.totalValues);
    PutLe16(header, 66, r.fieldsPerRecord);
    out.push_back(header);

    Payload layout{};
    for (size_t i = 0; i < 25; ++i) {
        PutLe16(layout, 2 * i, r.widths[i]);
        PutLe16(layout, 50 + 2 * i, r.precisions[i]);
    }
    out.push_back(layout);

    out.push_back(LabelBlock(r, r.labels1, 0, 12));
    out.push_back(LabelBlock(r, r.labels1, 13, 24));
    out.push_back(LabelBlock(r, r.labels2, 0, 12));
    out.push_back(LabelBlock(r, r.labels2, 13, 24));

    for (size_t first = 0; first < r.values.size(); first += 32) {
        Payload p{};
        for (size_t k = 0; k < 32 && first + k < r.values.size(); ++k) {
            uint32_t bits = 0;
            const float v = r.values[first + k];
            std::memcpy(&bits, &v, sizeof bits);
            for (size_t b = 0; b < 4; ++b) {
                p[4 * k + b] = static_cast<uint8_t>(bits >> (8 * b));
            }
        }
        out.push_back(p);
    }
    return out;
}

bool ParseRecordsText(const std::string& text, RecordsSet* out, std::string* error) {
    RecordsSet r;
    bool haveFields = false, haveTotal = false;
    int fieldLines = 0;
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    auto fail = [&](const std::string& why) {
        if (error != nullptr) {
            *error = "line " + std::to_string(lineNo) + ": " + why;
        }
        return false;
    };
    while (std::getline(in, line)) {
        ++lineNo;
        const std::string t = Trim(StripComment(line));
        if (t.empty()) {
            continue;
        }
        const auto colon = t.find(':');
        if (colon == std::string::npos) {
            return fail("expected 'key: value'");
        }
        const std::string key = Trim(t.substr(0, colon));
        const std::string rest = t.substr(colon + 1);
        size_t pos = 0;
        std::string tok;
        bool quoted = false;
        if (key == "title1" || key == "title2") {
            std::string value = Trim(rest);
            if (!value.empty() && value[0] == '"') {
                if (!NextToken(rest, &pos, &tok, &quoted)) {
                    return fail("unterminated quote");
                }
                value = tok;
            }
            (key == "title1" ? r.title1 : r.title2) = value;
        } else if (key == "fields" || key == "total") {
            int16_t v = 0;
            if (!ParseInt16(Trim(rest), &v)) {
                return fail("expected a number from -32768 to 32767");
            }
            if (key == "fields") {
                r.fieldsPerRecord = v;
                haveFields = true;
            } else {
                r.totalValues = v;
                haveTotal = true;
            }
        } else if (key == "field") {
            if (fieldLines >= 25) {
                return fail("more than 25 field lines");
            }
            const auto k = static_cast<size_t>(fieldLines);
            std::string parts[4];
            for (int i = 0; i < 4; ++i) {
                if (!NextToken(rest, &pos, &parts[i], &quoted)) {
                    if (i < 2) {
                        return fail("expected: field: WIDTH PRECISION \"LABEL1\" \"LABEL2\"");
                    }
                    parts[i].clear();
                }
            }
            if (!ParseInt16(parts[0], &r.widths[k]) || !ParseInt16(parts[1], &r.precisions[k])) {
                return fail("width and precision must be numbers");
            }
            r.labels1[k] = parts[2];
            r.labels2[k] = parts[3];
            ++fieldLines;
        } else if (key == "values") {
            while (NextToken(rest, &pos, &tok, &quoted)) {
                float v = 0;
                if (!ParseFloat(tok, &v)) {
                    return fail("not a number: " + tok);
                }
                r.values.push_back(v);
            }
        } else {
            return fail("unknown key '" + key + "'");
        }
    }
    if (!haveFields) {
        r.fieldsPerRecord = static_cast<int16_t>(fieldLines);
    }
    if (!haveTotal) {
        if (r.values.size() > 32767) {
            return fail("more than 32767 values: give 'total' explicitly");
        }
        r.totalValues = static_cast<int16_t>(r.values.size());
    }
    *out = std::move(r);
    return true;
}

bool LoadRecordsFile(const std::string& path, RecordsSet* out, std::string* error) {
    std::ifstream f(path, std::ios::binary);
    if (!f) {
        if (error != nullptr) {
            *error = "cannot open " + path;
        }
        return false;
    }
    std::ostringstream ss;
    ss << f.rdbuf();
    return ParseRecordsText(ss.str(), out, error);
}

}  // namespace brenvix
