// Opening a records text file of 10,000 records (goal: under 200 ms in all):
// - Parse: the bytes to a table, for a file the writer made (3 fields: 10,000 records is all
//   that 16-bit value counts allow) and for 8 fields' worth of record lines.
// - ParseAndModel: the same, then the table model over it, asked for every row.
// - OpenWindow: from the file on disk to the Records window shown (offscreen), chart included.
#include "tests/viewer/records_files.h"
#include "viewer/records_window.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

using ventaro::ParseRecordsText;

std::string ThreeFields() {
    brenvix::RecordsSet set;
    set.title1 = "BENCH";
    set.title2 = "THREE FIELDS";
    set.fieldsPerRecord = 3;
    set.widths = {6, 8, 7};
    set.precisions = {0, 2, 1};
    set.labels1 = {"  HOUR", "    TEMP", "     RH"};
    set.labels2 = {"    HH", "   DEG C", "    PCT"};
    for (int r = 0; r < 10000; ++r) {
        set.values.insert(set.values.end(), {float(r % 24), float(r % 400) / 8, float(r % 97)});
    }
    set.totalValues = int16_t(set.values.size());
    return ventaro::viewer_test::WriteRecordsFile(set);
}

// The large demo's record lines, repeated to 10,000 under an 8-field header.
std::string EightFields() {
    const std::string demo = ventaro::viewer_test::WriteRecordsFile(brenvix::LargeDemoRecords());
    const size_t first = demo.find("\r\n\r\n", demo.find("FIELDS PER RECORD")) + 2;
    const size_t recordsAt = demo.find("\r\n\r\n", first) + 4;
    std::string file = demo.substr(0, recordsAt);
    const std::string records = demo.substr(recordsAt, demo.size() - recordsAt - 2);
    for (int copies = 0; copies < 9; ++copies) {
        file += records + "\r\n";
    }
    file.replace(file.find("1200"), 4, "10800");
    return file;
}

const std::string& File(int64_t which) {
    static const std::string three = ThreeFields(), eight = EightFields();
    return which == 3 ? three : eight;
}

void Parse(benchmark::State& state) {
    const std::string& file = File(state.range(0));
    size_t rows = 0;
    for (auto _ : state) {
        auto result = ParseRecordsText(file);
        rows = result.table ? result.table->rows.size() : 0;
        benchmark::DoNotOptimize(result);
    }
    state.counters["records"] = double(rows);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file.size()));
}
BENCHMARK(Parse)->Arg(3)->Arg(8)->Unit(benchmark::kMillisecond);

void ParseAndModel(benchmark::State& state) {
    const std::string& file = File(state.range(0));
    for (auto _ : state) {
        auto table =
            std::make_shared<const ventaro::RecordsTable>(std::move(*ParseRecordsText(file).table));
        ventaro::RecordsModel model(table);
        for (int r = 0; r < model.rowCount(); ++r) {
            benchmark::DoNotOptimize(model.index(r, 1).data());
        }
    }
}
BENCHMARK(ParseAndModel)->Arg(3)->Arg(8)->Unit(benchmark::kMillisecond);

void OpenWindow(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("records.txt"));
    QFile out(path);
    out.open(QIODevice::WriteOnly);
    out.write(File(state.range(0)).c_str());
    out.close();
    for (auto _ : state) {
        ventaro::RecordsWindow* window = ventaro::OpenRecordsWindow(path, nullptr);
        QApplication::processEvents();
        state.PauseTiming();
        delete window;
        state.ResumeTiming();
    }
}
BENCHMARK(OpenWindow)->Arg(3)->Arg(8)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
