// Writes the seed corpus of fuzz_records: whole downloads of the simulator's records, clean and
// rough, in the read script the fuzz target takes. Usage: fuzz_records_corpus OUT_DIR
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "fuzz/read_script.h"
#include "sim/records.h"

namespace {

using fuzz_script::Control;
using Script = std::vector<uint8_t>;

void AddBlock(Script& s, const brenvix::Payload& p,
              uint8_t control = Control(fuzz_script::kBuilt)) {
    s.push_back(control);
    s.insert(s.end(), p.begin(), p.end());
}

Script Clean(const brenvix::RecordsSet& set, size_t blocks = SIZE_MAX) {
    Script s;
    const auto payloads = brenvix::RecordPayloads(set);
    for (size_t i = 0; i < payloads.size() && i < blocks; ++i) {
        AddBlock(s, payloads[i]);
    }
    s.push_back(Control(fuzz_script::kEot));
    return s;
}

// Lost ACKs, damaged and cut blocks and line noise along the way; every block still gets through.
Script Rough(const brenvix::RecordsSet& set) {
    using namespace fuzz_script;
    Script s;
    const auto payloads = brenvix::RecordPayloads(set);
    for (size_t i = 0; i < payloads.size(); ++i) {
        if (i % 7 == 3) {
            AddBlock(s, payloads[i], Control(kBuilt, kExpected, kSpoilSum));
        }
        if (i % 11 == 5) {
            AddBlock(s, payloads[i], Control(kBuilt, kExpected, kCut));
            s.push_back(70);
            s.insert(s.end(), {Control(kRaw), 3, 'N', 'O', 'W'});
        }
        AddBlock(s, payloads[i]);
        if (i % 5 == 2) {
            s.push_back(Control(kEmpty));
            AddBlock(s, payloads[i], Control(kBuilt, kRepeat));
        }
    }
    s.push_back(Control(kEot));
    return s;
}

brenvix::RecordsSet SiteExample() {
    brenvix::RecordsSet r;
    r.title1 = "SITE 12";
    r.title2 = "HOURLY MEANS";
    r.totalValues = 6;
    r.fieldsPerRecord = 3;
    r.widths[0] = 7, r.widths[1] = 6, r.widths[2] = 4;
    r.precisions[0] = 2, r.precisions[1] = 1, r.precisions[2] = 0;
    r.labels1[0] = "   TEMP", r.labels1[1] = "    RH", r.labels1[2] = "  WD";
    r.labels2[0] = "  DEG C", r.labels2[1] = "   PCT", r.labels2[2] = " DEG";
    r.values = {21.456f, 55.04f, 270.0f, -3.5f, 100.0f, 12345.0f};
    return r;
}

// A layout no instrument should send: too many fields, widths out of range, odd values.
brenvix::RecordsSet BadLayout() {
    brenvix::RecordsSet r;
    r.title1 = std::string(32, 'T');
    r.title2 = "LIMITS";
    r.totalValues = 200;
    r.fieldsPerRecord = 30;
    for (size_t i = 0; i < r.widths.size(); ++i) {
        r.widths[i] = static_cast<int16_t>(i % 3 == 0 ? 40 : (i % 3 == 1 ? -3 : 12));
        r.precisions[i] = static_cast<int16_t>(i % 2 == 0 ? 32767 : -1);
        r.labels1[i] = std::string(11, char('A' + i));
        r.labels2[i] = "X";
    }
    const float inf = std::numeric_limits<float>::infinity();
    for (int i = 0; i < 200; ++i) {
        r.values.push_back(i % 4 == 0 ? std::nanf("") : (i % 4 == 1 ? -inf : float(i) * 1e30f));
    }
    return r;
}

bool Write(const std::string& dir, const std::string& name, const Script& s) {
    std::ofstream out(dir + "/" + name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(s.data()), std::streamsize(s.size()));
    return bool(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT_DIR\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    Script giveUp = Clean(brenvix::DemoRecords(), 8);
    giveUp.pop_back();
    giveUp.insert(giveUp.end(), 10, Control(fuzz_script::kEmpty));
    const bool ok = Write(dir, "clean_demo", Clean(brenvix::DemoRecords())) &&
                    Write(dir, "site_example", Clean(SiteExample())) &&
                    Write(dir, "rough_demo", Rough(brenvix::DemoRecords())) &&
                    Write(dir, "bad_layout", Clean(BadLayout())) && Write(dir, "give_up", giveUp) &&
                    Write(dir, "eot_first", {Control(fuzz_script::kEot)});
    return ok ? 0 : 1;
}
