// The receive filter on a full 1,600-byte block, in Normal and Hex view.
#include "serial/receive_filter.h"

#include <benchmark/benchmark.h>

#include <array>
#include <vector>

namespace {

std::vector<uint8_t> Block() {
    std::vector<uint8_t> block(ventaro::kReadSize);
    for (size_t i = 0; i < block.size(); ++i) {
        block[i] = (i % 40 == 39) ? 0x0D : uint8_t('A' + i % 26);
    }
    return block;
}

void FilterBlock(benchmark::State& state) {
    const bool hex = state.range(0) != 0;
    const auto block = Block();
    std::array<char, ventaro::kDisplayTextSize> display{};
    std::array<char, ventaro::kHexTextSize> hexText{};
    int column = 0;
    for (auto _ : state) {
        auto out = ventaro::FilterBlock(block, hex, ventaro::CaptureKind::Terminal, column, display,
                                        hexText);
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(block.size()));
    state.SetLabel(hex ? "Hex" : "Normal");
}
BENCHMARK(FilterBlock)->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
