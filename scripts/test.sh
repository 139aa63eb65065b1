#!/usr/bin/env bash
# Installs what is missing, builds both trees and runs every test.
# Ends with one line "N passed, N failed" (", N skipped" when there are skips);
# the exit status is non-zero when anything failed, including a build.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/setup.sh || { echo "0 passed, 1 failed"; exit 1; }

mkdir -p "$root/build"
jobs=$(nproc 2>/dev/null || echo 2)
build_failures=0
reports=()

run_tree() {
  local preset=$1 dir=$root/build/$1
  echo "== $preset: configure and build"
  if ! cmake --preset "$preset" >"$dir.configure.log" 2>&1; then
    tail -n 40 "$dir.configure.log"
    echo "== $preset: configure FAILED"
    build_failures=$((build_failures + 1))
    return
  fi
  if ! cmake --build --preset "$preset" -j "$jobs" >"$dir.build.log" 2>&1; then
    grep -E 'error|Error' "$dir.build.log" | head -n 40
    echo "== $preset: build FAILED (log: $dir.build.log)"
    build_failures=$((build_failures + 1))
    return
  fi
  echo "== $preset: test"
  rm -rf "$dir/test-reports"
  mkdir -p "$dir/test-reports/gtest"
  GTEST_OUTPUT="xml:$dir/test-reports/gtest/" \
    ctest --preset "$preset" --output-junit "$dir/test-reports/ctest.xml" --timeout 900
  reports+=("$dir/test-reports")
}

run_tree windows
run_tree native

python3 scripts/summarize_tests.py --build-failures "$build_failures" "${reports[@]}"
