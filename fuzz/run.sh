#!/usr/bin/env bash
# Builds fuzz_records and fuzz_records_text with clang and runs each for a number of seconds,
# starting from the committed seeds. New inputs go to a working corpus in the build directory, so
# the committed one stays small. Exits non-zero when the fuzzer finds a crash (the input is left
# in BUILD_DIR).
# Usage: fuzz/run.sh BUILD_DIR SECONDS
set -euo pipefail

if [[ $# -lt 1 || $# -gt 2 ]]; then
  echo "usage: $0 BUILD_DIR [SECONDS]" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
build=$1
seconds=${2:-60}

generator=()
if command -v ninja >/dev/null; then
  generator=(-G Ninja)
fi
cmake -S "$here" -B "$build" "${generator[@]}" -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j2 --target fuzz_records fuzz_records_text

corpus="$build/corpus/records"
mkdir -p "$corpus"
cp -n "$here"/corpus/records/* "$corpus"/
# A seed is a whole demo download (about 7 KB); leave room for longer ones.
"$build/fuzz_records" -max_total_time="$seconds" -max_len=32768 -timeout=10 \
  -artifact_prefix="$build/" -print_final_stats=1 "$corpus"

# The records text reader: seeds are records files, which as payloads make downloads too.
text_corpus="$build/corpus/records_text"
mkdir -p "$text_corpus"
cp -n "$here"/corpus/records_text/* "$text_corpus"/
"$build/fuzz_records_text" -max_total_time="$seconds" -max_len=32768 -timeout=10 \
  -artifact_prefix="$build/" -print_final_stats=1 "$text_corpus"
