#!/usr/bin/env bash
# Checks the Windows installer as a clerk would meet it, under Wine (the environment of
# scripts/windows.sh: WINE, WINEPREFIX, DISPLAY):
#   1. a silent install into a fresh folder whose path holds blanks and umlauts installs exactly
#      the shipped files, and the ZIP holds the same;
#   2. the installed export tool, with no Qt or MinGW folder on Wine's PATH, exports every demo
#      list byte for byte as the Linux build does, records them in its ledger, writes a
#      delivery note as PDF, and its ODBC driver plugin loads;
#   3. the installed export tool reads a PostgreSQL server through Wine's ODBC and the host's
#      psqlODBC, and writes what the Linux build writes from it;
#   4. the installed GUI starts with the windows platform plugin; its three windows are grabbed
#      from the display into build-windows/screenshots/;
#   5. the uninstaller removes what it installed and keeps Brett.Ini, the ledger and the
#      delivery files.
#
#   scripts/windows-check.sh INSTALLER ZIP
source "$(dirname "$0")/strict.sh"
cd "$(dirname "$0")/.."
installer=$1
zip=$2
build=$PWD/build-windows
check=$build/installer-check
wineserver=${WINE%wine64}wineserver
winpath() { "$WINE" winepath -w "$1" 2>/dev/null | tr -d '\r'; }
fail() {
    echo "FAILED: $*" >&2
    exit 1
}
# The installed programs must find every DLL in their own folder.
export WINEPATH=

rm -rf "$check"
target="$check/Büro Forst/Brettholm32"
mkdir -p "$check"

echo "-- silent install into $target"
# NSIS takes everything after /D= as the folder, blanks included, and wants no quotes; Wine's
# start /unix would quote it, so the installer gets its command line through cmd.
"$WINE" cmd /c "$(winpath "$installer") /S /D=$(winpath "$check")\\Büro Forst\\Brettholm32" \
    >/dev/null 2>&1
"$wineserver" -w
[ -f "$target/brettholm32.exe" ] || fail "the installer put nothing into $target"

shipped=(
    Qt6Core.dll Qt6Core5Compat.dll Qt6Gui.dll Qt6PrintSupport.dll Qt6Sql.dll Qt6Widgets.dll
    brettholm32-export.exe brettholm32.exe
    libgcc_s_seh-1.dll libstdc++-6.dll libwinpthread-1.dll
    platforms/qwindows.dll sqldrivers/qsqlodbc.dll styles/qwindowsvistastyle.dll
    translations/qtbase_de.qm
)
expected=$(printf '%s\n' "${shipped[@]}" | sort)
installed=$(cd "$target" && find . -type f | sed 's#^\./##' | sort)
[ "$installed" = "$(printf '%s\nUninstall.exe\n' "$expected" | sort)" ] \
    || fail "installed files differ from the shipped list:
$(diff <(printf '%s\nUninstall.exe\n' "$expected" | sort) <(echo "$installed") || true)"
zipped=$(unzip -Z1 "$zip" | grep -v '/$' | sed 's#^[^/]*/##' | sort)
[ "$zipped" = "$expected" ] || fail "the ZIP differs from the shipped list:
$(diff <(echo "$expected") <(echo "$zipped") || true)"
echo "installed and zipped: ${#shipped[@]} files, nothing else"

echo "-- installed export tool against the Linux build"
database=$PWD/build/demo/demo.sqlite
linux=$check/linux-export
windows=$check/windows-export
mkdir -p "$linux" "$windows"
# The demo settings as the program stores them (Windows-1252, CR LF), once for each build.
settings() {
    local folder=${1//\\/\\\\} # backslashes doubled for sed
    sed "s#@EXPORTPATH@#$folder#" demo/Brett.Ini.in | iconv -f UTF-8 -t WINDOWS-1252 | sed 's/$/\r/'
}
settings "$linux" >"$check/Brett.Ini"
settings "$(winpath "$windows")" >"$target/Brett.Ini"
lists=$(build/bin/brettholm32-export --connection "Provider=SQLite;Data Source=$database" --lists)
[ -n "$lists" ] || fail "the demo database has no open list"
for list in $lists; do
    linux_status=0
    LC_ALL=de_DE.UTF-8 build/bin/brettholm32-export --settings "$check/Brett.Ini" \
        --connection "Provider=SQLite;Data Source=$database" --list "$list" \
        >/dev/null 2>"$check/linux-$list.err" || linux_status=$?
    windows_status=0
    LC_ALL=de_DE.UTF-8 "$WINE" "$target/brettholm32-export.exe" \
        --connection "Provider=SQLite;Data Source=$(winpath "$database")" --list "$list" \
        >/dev/null 2>"$check/windows-$list.err" || windows_status=$?
    [ "$linux_status" = "$windows_status" ] \
        || fail "list $list: exit status $windows_status on Windows, $linux_status on Linux"
    # The success message names the delivery file's path, which is each platform's own.
    sed -i '/\.Txt$/d' "$check/linux-$list.err"
    tr -d '\r' <"$check/windows-$list.err" | sed '/\.Txt$/d' | cmp -s - "$check/linux-$list.err" \
        || fail "list $list: the messages differ: $(diff "$check/linux-$list.err" \
            <(tr -d '\r' <"$check/windows-$list.err" | sed '/\.Txt$/d') || true)"
    echo "list $list: exit status $linux_status on both, the same messages"
done
[ -n "$(ls "$linux")" ] || fail "no demo list exported"
for file in "$linux"/*; do
    cmp "$file" "$windows/$(basename "$file")" || fail "$(basename "$file") differs"
    echo "$(basename "$file"): byte-identical ($(wc -l <"$file") lines)"
done
[ "$(ls "$linux")" = "$(ls "$windows")" ] || fail "the two builds wrote different files"

# Each export went into the ledger beside the installed Brett.Ini; a second one of a list asks,
# and goes with --again, here with its delivery note as PDF, which Gui writes under Wine.
note=$check/Lieferschein.pdf
first=$(echo "$lists" | head -n 1)
LC_ALL=de_DE.UTF-8 "$WINE" "$target/brettholm32-export.exe" --again --note "$(winpath "$note")" \
    --connection "Provider=SQLite;Data Source=$(winpath "$database")" --list "$first" \
    >/dev/null 2>"$check/again.err" || fail "list $first again, with its note: $(cat "$check/again.err")"
LC_ALL=de_DE.UTF-8 "$WINE" "$target/brettholm32-export.exe" --deliveries \
    >"$check/deliveries.txt" 2>&1 || fail "the ledger: $(cat "$check/deliveries.txt")"
recorded=$(tr -d '\r' <"$check/deliveries.txt" | grep -c ";$first;" || true)
[ "$recorded" = 2 ] || fail "the ledger holds list $first $recorded times: $(cat "$check/deliveries.txt")"
sha=$(tr -d '\r' <"$check/deliveries.txt" | grep ";$first;" | tail -n 1 | awk -F';' '{ print $NF }')
pdftotext "$note" - | grep -q "$sha" && pdftotext "$note" - | grep -q "$first" \
    || fail "the delivery note lacks the list or the SHA-256 $sha"
echo "ledger: list $first recorded twice; its note as PDF names the list and SHA-256 ${sha:0:12}…"

# An ODBC connection that cannot succeed: the message must come from the driver manager, which
# Qt reaches only when sqldrivers/qsqlodbc.dll loads.
odbc_status=0
"$WINE" "$target/brettholm32-export.exe" --connection "DSN=brettholm32-no-such-dsn" --lists \
    >/dev/null 2>"$check/odbc.err" || odbc_status=$?
[ "$odbc_status" = 2 ] && grep -q "Keine Verbindung zur Datenbank" "$check/odbc.err" \
    && ! grep -qi "driver not loaded" "$check/odbc.err" \
    || fail "the ODBC driver plugin did not load: $(cat "$check/odbc.err")"
echo "ODBC driver plugin loads: $(tr -d '\r' <"$check/odbc.err" | head -n 1)"

echo "-- installed export tool on PostgreSQL, through Wine's odbc32 and the host's psqlODBC"
# Wine hands ODBC calls to the host's unixODBC, so the Windows build reaches the server that
# the benchmark's helper starts, through the same driver as the Linux build. Generated logs
# with every kind of value; both builds export them with the same settings, one after the
# other (a Unix export folder is a folder on Wine's drive Z: to the Windows build).
postgres=$check/postgres
bash bench/generate.sh 1000 "$postgres" >/dev/null
coproc server { build/bench/brettholm32-bench postgres; }
read -r port odbc_folder <&"${server[0]}"
[ -n "$port" ] || fail "no PostgreSQL server for the ODBC comparison"
bash bench/load-postgres.sh "$port" windowscheck "$postgres/host.sqlite"
connection="Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=$port;Database=windowscheck;UID=reader"
for flavour in linux windows; do
    # Each build delivers the list as the first time, into a ledger of its own.
    rm -rf "$postgres/export" "$postgres"/Lieferbuch.sqlite* && mkdir "$postgres/export"
    if [ $flavour = linux ]; then
        exporter=(build/bin/brettholm32-export) settings=$postgres/Brett.Ini
    else
        exporter=("$WINE" "$target/brettholm32-export.exe") settings=$(winpath "$postgres/Brett.Ini")
    fi
    status=0
    ODBCSYSINI=$odbc_folder LC_ALL=de_DE.UTF-8 "${exporter[@]}" --settings "$settings" \
        --connection "$connection" --list BENCH >/dev/null 2>"$postgres/$flavour.err" || status=$?
    [ "$status" = 0 ] || fail "the $flavour build's export from PostgreSQL: $(cat "$postgres/$flavour.err")"
    mv "$postgres/export/LB4711BENCH.Txt" "$postgres/$flavour.Txt"
done
exec {server[1]}>&-
wait "$server_PID" || true
cmp "$postgres/linux.Txt" "$postgres/windows.Txt" || fail "the PostgreSQL exports differ"
echo "PostgreSQL through ODBC: byte-identical ($(wc -l <"$postgres/linux.Txt") lines)"

echo "-- installed GUI on the windows platform"
shots=$build/screenshots
rm -rf "$shots"
mkdir -p "$shots"
# Waits for a window of the title's pattern; prints its X id.
window() {
    local id
    for _ in $(seq 1 120); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -n 1)
        if [ -n "$id" ]; then
            sleep 1 # let it paint
            echo "$id"
            return
        fi
        sleep 0.5
    done
    fail "no window \"$1\" appeared"
}
# Starts the installed GUI on the demo database, waits for the main window and types the keys
# given into it. Focus starts on "Einstellungen"; the keyboard order is the layout's: settings,
# info, list selector, lots.
start_gui() {
    (cd "$target" && exec "$WINE" ./brettholm32.exe \
        "Provider=SQLite;Data Source=$(winpath "$database")" >/dev/null 2>&1 &) 2>/dev/null
    main=$(window "^Brettholm")
    xdotool mousemove --window "$main" 10 10 2>/dev/null
    xdotool key --window "$main" "$@" 2>/dev/null
    sleep 1
}
stop_gui() {
    "$wineserver" -k
    "$wineserver" -w || true
}
# The first list chosen and two of its lots selected, as in the Linux screenshots.
start_gui Tab Tab Down Tab Down shift+Down
import -window "$main" "$shots/main.png"
stop_gui
start_gui space
import -window "$(window "^Einstellungen")" "$shots/settings.png"
stop_gui
start_gui Tab space
import -window "$(window "^Info")" "$shots/about.png"
stop_gui
for shot in main settings about; do
    [ -s "$shots/$shot.png" ] || fail "no screenshot of $shot"
done
echo "screenshots: $shots/{main,settings,about}.png"

echo "-- uninstall"
# A delivery file of the clerk's own beside the program, as an export directory there leaves.
printf 'yesterday\r\n' >"$target/LB4711TEXT1.Txt"
"$WINE" "$target/Uninstall.exe" /S "_?=$(winpath "$target")" >/dev/null 2>&1
"$wineserver" -w
left=$(cd "$target" && find . -type f | sed 's#^\./##' | sort)
[ "$left" = "$(printf 'Brett.Ini\nLB4711TEXT1.Txt\nLieferbuch.sqlite\n')" ] \
    || fail "after uninstalling the folder holds: $left"
echo "uninstalled; Brett.Ini, the ledger and the delivery file stay"
echo "Installer check passed"
