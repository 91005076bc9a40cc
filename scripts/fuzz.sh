#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while (default 60 s).
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

scripts/setup.sh
if ! command -v clang++ >/dev/null || ! dpkg-query -W libclang-rt-14-dev >/dev/null 2>&1; then
  apt-get install -y -qq --no-install-recommends clang libclang-rt-14-dev >/dev/null
fi
cmake -S . -B build/fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSONARIX_TESTS=OFF -DSONARIX_FUZZ=ON \
  -DSONARIX_SANITIZE="address;undefined" -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link >/dev/null
cmake --build build/fuzz -j"$(nproc)" --target settings_fuzz
mkdir -p build/fuzz/corpus/settings
build/fuzz/tests/fuzz/settings_fuzz -max_total_time="$seconds" -max_len=2048 build/fuzz/corpus/settings
