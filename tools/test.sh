#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the test programs,
# then the same under AddressSanitizer and UndefinedBehaviorSanitizer, then a
# minute of fuzzing the line rules, then the Windows leg (tools/windows.sh).
# MORVANE_QUICK=1 runs the test programs only; FUZZ_SECONDS sets how long
# the fuzzer runs.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/packages.sh

quick=${MORVANE_QUICK:-0}
if [ "$quick" = 1 ]; then
    ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
else
    ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${CHECK_PACKAGES[@]}"
fi

echo "== Tests"
build_project . build
ctest --test-dir build --output-on-failure --parallel 2
[ "$quick" = 1 ] && exit 0

echo "== Tests under AddressSanitizer and UndefinedBehaviorSanitizer"
build_project . build-asan -DMORVANE_SANITIZE=ON
ctest --test-dir build-asan --output-on-failure --parallel 2

echo "== Fuzzing the line rules"
build_project fuzz build-fuzz -DCMAKE_CXX_COMPILER=clang++-16
mkdir -p build-fuzz/corpus
cp -n fuzz/seeds/* build-fuzz/corpus/
build-fuzz/fuzz_line_rules -max_total_time="${FUZZ_SECONDS:-60}" -timeout=2 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix=build-fuzz/ build-fuzz/corpus

echo "== Windows, under Wine"
bash tools/windows.sh
