#!/usr/bin/env bash
# The benchmark in small: generates 1000 logs, exports them and compares the delivery file with
# the one the export wrote for the same data before any optimisation, byte for byte.
#
#   bench/smoke.sh PATH/TO/brettholm32-export
set -euo pipefail

export_tool=$1
# sha256 of the delivery file for bench/generate.sh 1000, German regional settings. It changes
# only when the generator or the export's output changes; the rules behind each field are
# tested in tests/export.
expected=7972fef8205ee338726de6ba40e9a355e002acb9dec140af5f6f2a7237bbceee

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bash "$(dirname "$0")/generate.sh" 1000 "$work"
LC_ALL=de_DE.UTF-8 "$export_tool" --connection "Provider=SQLite;Data Source=$work/host.sqlite" \
    --settings "$work/Brett.Ini" --list BENCH > /dev/null
file="$work/export/LB4711BENCH.Txt"

bad=$(awk -F';' '!/\r$/ || NF != 46 { print FNR; exit }' "$file")
if [ -n "$bad" ]; then
    echo "line $bad: not 46 fields ended by CR LF" >&2
    exit 1
fi
lines=$(wc -l < "$file")
if [ "$lines" -ne 1000 ]; then
    echo "$lines lines instead of 1000" >&2
    exit 1
fi
actual=$(sha256sum "$file" | cut -d' ' -f1)
if [ "$actual" != "$expected" ]; then
    echo "delivery file changed: sha256 $actual, expected $expected; first lines:" >&2
    head -n 3 "$file" | iconv -f WINDOWS-1252 -t UTF-8 >&2
    exit 1
fi
echo "1000 logs exported as before"
