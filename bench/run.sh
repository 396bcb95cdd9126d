#!/usr/bin/env bash
# Times the export against the database's own speed and prints a Markdown table.
#
#   bench/run.sh [-r RUNS] [-p "N ..."] [N ...]
#
# default: 5 runs each of N = 10000 100000 1000000 on SQLite, and of N = 100000 300000 on
# PostgreSQL (-p "" leaves PostgreSQL out).
#
# For each N it builds (once, under build/bench/data/N) a host database with N logs in list
# BENCH and settings that name header, log and owner columns, then runs, in turns:
#   sqlite3   the sqlite3 shell running the export's log statement, ";" between the columns,
#             into a file: the floor, reading the rows;
#   rows      brettholm32-bench rows: the same statement through the program's own reading
#             path (HostDatabase, HostQuery), every column of every row read as a value and
#             nothing done with it;
#   export    brettholm32-export on the list, recording the delivery in a new ledger.
# Medians of the wall-clock times, the ratio export / sqlite3, and the median peak resident
# memory (/usr/bin/time). Every export's delivery file must hold N lines.
# Then the client/server rows: brettholm32-bench postgres starts a PostgreSQL server as
# tst_postgres does; each N's data goes in under the SQL Server-like types of
# tests/postgres/host-schema.sql, copied from the SQLite database, and is timed in turns:
#   psql      psql \copy of the log statement to a file, ";" between the columns;
#   floor     brettholm32-odbcfloor: the same driver, statement and cursor settings as the
#             export, every column of every row fetched into bound buffers, nothing converted:
#             the floor, as a server cursor never gets the parallel plan that \copy gets;
#   rows      brettholm32-bench rows through ODBC (psqlODBC);
#   export    brettholm32-export through ODBC, as the user of the program runs it.
# Then the GUI start: brettholm32-bench start under Xvfb, from the process start to the main
# window shown on the demo database, median of the runs.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=5
postgres_sizes="100000 300000"
while [ $# -gt 0 ]; do
    case $1 in
    -r) runs=$2; shift 2 ;;
    -p) postgres_sizes=$2; shift 2 ;;
    *) break ;;
    esac
done
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
floor="$PWD/build/bench/brettholm32-odbcfloor"
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
        # Each run delivers the list as the first time: into a new ledger, which records it.
        rm -f "$dir"/export/*.Txt "$dir"/Lieferbuch.sqlite*
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

if [ -n "$postgres_sizes" ]; then
    coproc server { "$helper" postgres; }
    read -r port odbc_folder <&"${server[0]}"
    # The server's driver list, without the log files that Debian's asks psqlODBC for.
    export ODBCSYSINI=$odbc_folder
    echo
    echo "| N (PostgreSQL) | psql \\copy (s) | driver floor (s) | reading only (s) | export (s) | floor / psql | export / floor | peak memory floor / export (MB) |"
    echo "|---:|---:|---:|---:|---:|---:|---:|---:|"
    for n in $postgres_sizes; do
        dir="$work/$n"
        if [ ! -f "$dir/host.sqlite" ] || [ bench/generate.sh -nt "$dir/host.sqlite" ]; then
            bash bench/generate.sh "$n" "$dir"
        fi
        database="bench$n"
        bash bench/load-postgres.sh "$port" "$database" "$dir/host.sqlite"
        connection="Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=$port;Database=$database;UID=reader"
        copy="\\copy ($("$helper" statement "LISTE = 'BENCH'")) TO '$dir/psql.txt' WITH (DELIMITER ';')"
        "$helper" statement "LISTE = ?" > "$dir/statement-parameter.sql"
        rm -f "$dir"/*.times
        for ((run = 1; run <= runs; ++run)); do
            measure "$dir/psql.times" psql -q -X -h 127.0.0.1 -p "$port" -U reader -d "$database" -c "$copy"
            measure "$dir/floor.times" "$floor" "$connection" "$dir/statement-parameter.sql" BENCH > "$dir/floor.txt"
            [ "$(cat "$dir/floor.txt")" -eq "$n" ] || { echo "the driver floor read $(cat "$dir/floor.txt") rows of $n" >&2; exit 1; }
            measure "$dir/rows.times" "$helper" rows "$connection" BENCH > /dev/null
            rm -f "$dir"/export/*.Txt "$dir"/Lieferbuch.sqlite*
            measure "$dir/export.times" env LC_ALL=de_DE.UTF-8 "$bin/brettholm32-export" --connection "$connection" \
                --settings "$dir/Brett.Ini" --list BENCH > /dev/null 2> "$dir/export.log"
            lines=$(wc -l < "$dir/export/LB4711BENCH.Txt")
            [ "$lines" -eq "$n" ] || { echo "export of $n logs from PostgreSQL wrote $lines lines" >&2; exit 1; }
        done
        for kind in psql floor rows export; do
            declare "${kind}_s=$(cut -d' ' -f1 < "$dir/$kind.times" | median)"
            declare "${kind}_mb=$(cut -d' ' -f2 < "$dir/$kind.times" | median | awk '{ printf "%.0f", $1 / 1024 }')"
        done
        floor_ratio=$(awk -v f="$floor_s" -v s="$psql_s" 'BEGIN { printf "%.2f", f / s }')
        ratio=$(awk -v e="$export_s" -v f="$floor_s" 'BEGIN { printf "%.2f", e / f }')
        echo "| $n | $psql_s | $floor_s | $rows_s | $export_s | $floor_ratio | $ratio | $floor_mb / $export_mb |"
    done
    # The helper ends, and the server with it, when its input does.
    exec {server[1]}>&-
    wait "$server_PID" || true
fi

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
