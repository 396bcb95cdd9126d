#!/usr/bin/env bash
# Renders the three windows, the check report, the ledger window and a delivery note on the
# demo database into docs/main.png, docs/settings.png, docs/about.png, docs/check.png,
# docs/ledger.png and docs/note.png, the screenshots of the README. Run it after any change to
# a window.
source "$(dirname "$0")/strict.sh"
cd "$(dirname "$0")/.."

bash scripts/setup.sh >/dev/null

appdir=$(mktemp -d)
trap 'rm -rf "$appdir"' EXIT
# The demo settings, in the settings file's own form: Windows-1252, CR LF.
sed "s#@EXPORTPATH@#/home/forstamt/Lieferungen#" demo/Brett.Ini.in | iconv -f UTF-8 -t WINDOWS-1252 \
    | sed 's/$/\r/' > "$appdir/Brett.Ini"

mkdir -p docs
LC_ALL=de_DE.UTF-8 QT_QPA_PLATFORM=offscreen build/tools/brettholm32-render-windows "$appdir" \
    "Provider=SQLite;Data Source=$PWD/build/demo/demo.sqlite" docs
echo "Wrote docs/{main,settings,about,check,ledger,note}.png"
