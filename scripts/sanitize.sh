#!/usr/bin/env bash
# Builds with AddressSanitizer, UndefinedBehaviorSanitizer and the libFuzzer
# targets into build-san/ and runs the whole suite there (the Z80 exercisers
# aside: minutes each, and the normal build runs them), the fuzz smoke runs
# included. Any sanitizer report ends its program and fails its test. The fuzz
# targets are clang's: -fsanitize=fuzzer.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# A build-san/ configured with another compiler (older trees used GCC) is
# configured afresh: CMake cannot switch the compiler of an existing cache.
cache="$root/build-san/CMakeCache.txt"
if [ -f "$cache" ] && ! grep -q '^CMAKE_CXX_COMPILER:[A-Z]*=.*clang++' "$cache"; then
  rm -rf "$cache" "$root/build-san/CMakeFiles"
fi
cmake -S "$root" -B "$root/build-san" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Release -DKESTRIX_SANITIZE=ON -DKESTRIX_FUZZ=ON >/dev/null
cmake --build "$root/build-san" -j"$(nproc)"
export ASAN_OPTIONS="halt_on_error=1:exitcode=86"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:exitcode=87"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
cd "$root/build-san"
ctest --output-on-failure -j"$(nproc)" --timeout 900 -E '^z80\.zex(all|doc)$'
