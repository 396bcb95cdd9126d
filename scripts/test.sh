#!/usr/bin/env bash
# Sets up, builds and runs every test: the test suite on the plain build, the same suite built
# with AddressSanitizer and UndefinedBehaviorSanitizer (clang), the ODBC cursor tests built with
# ThreadSanitizer (clang), and a short run of each libFuzzer target. Exits non-zero on any
# failure; nothing is skipped.
source "$(dirname "$0")/strict.sh"
cd "$(dirname "$0")/.."
started=$SECONDS

bash scripts/setup.sh

echo "== Formatting (clang-format, .clang-format)"
if ! git ls-files -z -- '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror; then
    echo "FAILED: the files above are not formatted; run clang-format -i on them"
    exit 1
fi

echo "== Static checks (clang-tidy, .clang-tidy) over every product folder"
product_sources=$(git ls-files -- 'base/*.cpp' 'host/*.cpp' 'settings/*.cpp' 'export/*.cpp' \
    'print/*.cpp' 'cli/*.cpp' 'ui/*.cpp' 'app/*.cpp')
# One process a core, each with its share of the files; clang-tidy's counts of the warnings it
# did not show (system headers) are left out of the log.
tidy_log=build/clang-tidy.log
if ! printf '%s\n' $product_sources | xargs -P "$(nproc)" -n 4 clang-tidy -p build --quiet \
        >"$tidy_log" 2>&1; then
    grep -v 'warnings generated' "$tidy_log" || true
    echo "FAILED: clang-tidy found the problems above"
    exit 1
fi
echo "clang-tidy: no finding"

echo "== Test suite (plain build)"
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --no-tests=error -j"$(nproc)")

echo "== Sanitizer and fuzzer build (clang, build-asan)"
CC=clang CXX=clang++ cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DBRETTHOLM_FUZZ=ON >/dev/null
cmake --build build-asan -j"$(nproc)"

echo "== Test suite (AddressSanitizer, UndefinedBehaviorSanitizer)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
(cd build-asan && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --no-tests=error \
    -j"$(nproc)")

# The cursor's fetch-ahead worker on both ODBC drivers, the dropped-connection test's second
# thread and the ledger's recorder (the export of the benchmark's smoke test, and the ledger's
# rows that record parts beside the export) under ThreadSanitizer, which cannot share a build
# with AddressSanitizer. The reports go to files, so that one in the command-line tool that
# tst_postgres starts, whose failing exit it expects, fails the run as well. TSAN_OPTIONS and tests/tsan.supp say why they are as they are.
echo "== Cursor tests (ThreadSanitizer, clang, build-tsan)"
CC=clang CXX=clang++ cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DBRETTHOLM_TSAN=ON >/dev/null
cmake --build build-tsan --target tst_odbccursor tst_postgres tst_ledger brettholm32-export \
    -j"$(nproc)"
tsan_reports="$PWD/build-tsan/tsan-reports"
rm -rf "$tsan_reports"
mkdir -p "$tsan_reports"
# halt_on_error: the first report ends the program; second_deadlock_stack: a lock-order report
# names where both locks were taken.
tsan_options="halt_on_error=1:second_deadlock_stack=1:log_path=$tsan_reports/report"
tsan_options+=":suppressions=$PWD/tests/tsan.supp"
if ! (cd build-tsan && TSAN_OPTIONS=$tsan_options QT_QPA_PLATFORM=offscreen \
        ctest -R '^(tst_(odbccursor|postgres)|bench_smoke)$' --output-on-failure \
            --no-tests=error \
        && LC_ALL=de_DE.UTF-8 ./tests/tst_ledger "record:300 000 logs" \
            "record:disk full while recording") \
        || compgen -G "$tsan_reports/report.*" >/dev/null; then
    cat "$tsan_reports"/report.* 2>/dev/null || true
    echo "FAILED: the cursor tests under ThreadSanitizer (reports above, in $tsan_reports)"
    exit 1
fi
echo "ThreadSanitizer: no report"

# Each target runs for fuzz_seconds on a copy of its seed corpus; a crash or a broken property
# fails the run and leaves the input in build-asan/fuzz/findings.
fuzz_seconds=${FUZZ_SECONDS:-20}
echo "== Fuzzing, ${fuzz_seconds} s per target"
findings="$PWD/build-asan/fuzz/findings"
mkdir -p "$findings"
total=0
for target in fuzz_lvxini fuzz_brettini fuzz_connectionstring fuzz_deliveryline; do
    corpus=$(mktemp -d)
    cp fuzz/corpus/"$target"/* "$corpus"/
    log="build-asan/fuzz/$target.log"
    if ! (cd "$findings" && "../$target" -max_total_time="$fuzz_seconds" -print_final_stats=1 \
            "$corpus" >"../$target.log" 2>&1); then
        rm -rf "$corpus"
        tail -n 40 "$log"
        echo "FAILED: $target found an input that breaks it (see $findings)"
        exit 1
    fi
    rm -rf "$corpus"
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    total=$((total + runs))
    echo "$target: $runs inputs, no finding"
done
echo "Fuzzing: $total inputs in all, no finding"
echo "All tests passed in $((SECONDS - started)) s"
