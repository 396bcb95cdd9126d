#!/usr/bin/env bash
# Times the export against the database's own speed and prints a Markdown table.
#
#   bench/run.sh [-r RUNS] [N ...]          default: 5 runs each of N = 10000 100000 1000000
#
# For each N it builds (once, under build/bench/data/N) a host database with N logs in list
# BENCH and settings that name header, log and owner columns, then runs, in turns:
#   sqlite3   the sqlite3 shell running the export's log statement, ";" between the columns,
#             into a file: the floor, reading the rows;
#   rows      brettholm32-bench rows: the same statement through the program's own reading
#             path (HostDatabase, HostQuery), every column of every row read as a value and
#             nothing done with it;
#   export    brettholm32-export on the list.
# Medians of the wall-clock times, the ratio export / sqlite3, and the median peak resident
# memory (/usr/bin/time). Every export's delivery file must hold N lines.
# Then the GUI start: brettholm32-bench start under Xvfb, from the process start to the main
# window shown on the demo database, median of the runs.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=5
if [ "${1:-}" = "-r" ]; then
    runs=$2
    shift 2
fi
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(10000 100000 1000000)

# setup.sh installs the build's packages (sqlite3 and xvfb among them); only time is extra.
[ -x build/bin/brettholm32-export ] && [ -x build/bench/brettholm32-bench ] || bash scripts/setup.sh >&2
if [ ! -x /usr/bin/time ]; then
    sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q time >&2
fi
cmake --build build -j"$(nproc)" >/dev/null

# The export writes numbers as German users see them; the script's own tools read C numbers.
export LC_ALL=C
bin="$PWD/build/bin"
helper="$PWD/build/bench/brettholm32-bench"
work="$PWD/build/bench/data"
mkdir -p "$work"

median() { sort -n | awk '{ v[NR] = $1 } END { m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; print m }'; }

# Runs a command under /usr/bin/time; appends "seconds kilobytes" to the file named by $1.
measure() {
    local record=$1 begin end
    shift
    begin=$(date +%s%N)
    /usr/bin/time -f "%M" -o "$work/time.txt" "$@"
    end=$(date +%s%N)
    echo "$(( (end - begin) / 1000000 )) $(cat "$work/time.txt")" \
        | awk '{ printf "%.3f %d\n", $1 / 1000, $2 }' >> "$record"
}

echo "| N | sqlite3 shell (s) | reading only (s) | export (s) | export / sqlite3 | peak memory sqlite3 / export (MB) |"
echo "|---:|---:|---:|---:|---:|---:|"
for n in "${sizes[@]}"; do
    dir="$work/$n"
    if [ ! -f "$dir/host.sqlite" ] || [ bench/generate.sh -nt "$dir/host.sqlite" ]; then
        bash bench/generate.sh "$n" "$dir"
    fi
    connection="Provider=SQLite;Data Source=$dir/host.sqlite"
    "$helper" statement "LISTE = 'BENCH'" > "$dir/statement.sql"
    rm -f "$dir"/*.times
    for ((run = 1; run <= runs; ++run)); do
        measure "$dir/sqlite3.times" sqlite3 -readonly -separator ';' "$dir/host.sqlite" \
            < "$dir/statement.sql" > "$dir/sqlite3.txt"
        measure "$dir/rows.times" "$helper" rows "$connection" BENCH > /dev/null
        rm -f "$dir"/export/*.Txt
        measure "$dir/export.times" env LC_ALL=de_DE.UTF-8 "$bin/brettholm32-export" --connection "$connection" \
            --settings "$dir/Brett.Ini" --list BENCH > /dev/null 2> "$dir/export.log"
        lines=$(wc -l < "$dir/export/LB4711BENCH.Txt")
        [ "$lines" -eq "$n" ] || { echo "export of $n logs wrote $lines lines" >&2; exit 1; }
    done
    for kind in sqlite3 rows export; do
        declare "${kind}_s=$(cut -d' ' -f1 < "$dir/$kind.times" | median)"
        declare "${kind}_mb=$(cut -d' ' -f2 < "$dir/$kind.times" | median | awk '{ printf "%.0f", $1 / 1024 }')"
    done
    ratio=$(awk -v e="$export_s" -v s="$sqlite3_s" 'BEGIN { printf "%.2f", e / s }')
    echo "| $n | $sqlite3_s | $rows_s | $export_s | $ratio | $sqlite3_mb / $export_mb |"
done

# The GUI start, measured from outside: the helper prints the wall clock once the window is
# painted; one Xvfb serves every run.
starts=$(xvfb-run -a bash -c '
    for ((run = 1; run <= '"$runs"'; ++run)); do
        begin=$(date +%s%N)
        shown=$("$0" start "Provider=SQLite;Data Source=$1" 2>/dev/null)
        echo $(( (shown - begin) / 1000000 ))
    done' "$helper" "$PWD/build/demo/demo.sqlite")
echo
echo "GUI start to the shown main window (demo database, Xvfb): median $(echo "$starts" | median) ms of $runs runs"
