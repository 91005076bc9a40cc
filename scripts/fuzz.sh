#!/usr/bin/env bash
# Builds every libFuzzer target (tests/fuzz/*_fuzz.cpp) with clang and runs each for a while
# (default 60 s), starting from its checked-in corpus (tests/fuzz/corpus/NAME); what it finds
# new goes to build/fuzz/corpus/NAME. The test command runs it for a few seconds.
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

scripts/setup.sh
cmake -S . -B build/fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSONARIX_TESTS=OFF -DSONARIX_FUZZ=ON \
  -DSONARIX_SANITIZE="address;undefined" -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link >/dev/null
for source in tests/fuzz/*_fuzz.cpp; do
  target=$(basename "$source" .cpp)
  name=${target%_fuzz}
  echo "== fuzz: $target, $seconds s =="
  cmake --build build/fuzz -j"$(nproc)" --target "$target"
  mkdir -p "build/fuzz/corpus/$name"
  "build/fuzz/tests/fuzz/$target" -max_total_time="$seconds" -max_len=2048 -print_final_stats=1 \
    "build/fuzz/corpus/$name" "tests/fuzz/corpus/$name" 2>&1 | tail -n 12
done
