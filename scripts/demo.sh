#!/usr/bin/env bash
# Builds the program and runs it on the demo database. With a display the main window opens;
# without one the command-line tool exports a demo list.
source "$(dirname "$0")/strict.sh"
cd "$(dirname "$0")/.."

bash scripts/setup.sh

bin="$PWD/build/bin"
database="$PWD/build/demo/demo.sqlite"
exports="$PWD/build/demo-export"
connection="Provider=SQLite;Data Source=$database"
mkdir -p "$exports"

# Settings that let the demo lists export; an existing Brett.Ini is the user's and stays.
if [ ! -f "$bin/Brett.Ini" ]; then
    sed "s#@EXPORTPATH@#$exports#" demo/Brett.Ini.in | iconv -f UTF-8 -t WINDOWS-1252 \
        | sed 's/$/\r/' > "$bin/Brett.Ini"
    echo "Wrote demo settings to $bin/Brett.Ini"
fi

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec "$bin/brettholm32" "$connection"
fi

echo "No display: exporting demo list 4711 with brettholm32-export."
echo "Open lists: $("$bin/brettholm32-export" --connection "$connection" --lists | tr '\n' ' ')"
delivery=$(LC_ALL=de_DE.UTF-8 "$bin/brettholm32-export" --connection "$connection" --list 4711)
echo "Delivery file: $delivery"
echo "Its first lines (Windows-1252, shown as UTF-8):"
head -n 3 "$delivery" | iconv -f WINDOWS-1252 -t UTF-8 | tr -d '\r'
