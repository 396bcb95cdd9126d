#!/usr/bin/env bash
# Installs the Debian packages this machine lacks, then configures and builds into build/.
# Safe to run again: nothing is installed twice and the build is incremental.
source "$(dirname "$0")/strict.sh"
cd "$(dirname "$0")/.."

packages=(
    build-essential cmake                       # compiler and build
    qt6-base-dev qt6-5compat-dev                # Qt Core, Gui, Widgets, Sql, Test, Core5Compat
    libqt6sql6-sqlite libqt6sql6-odbc           # Qt's SQLite and ODBC drivers
    libsqlite3-dev                              # the sqlite3 library that reads SQLite files
    libssl-dev                                  # libcrypto's SHA-256 for the ledger
    unixodbc unixodbc-dev tdsodbc               # ODBC driver manager, FreeTDS for SQL Server
    sqlite3                                     # builds the demo database from its SQL text
    locales                                     # de_DE.UTF-8 for the German number format
    fonts-dejavu-core                           # a sans-serif font for the windows
    qt6-translations-l10n                       # Qt's own texts (buttons, dialogs) in German
    libc-l10n                                   # the system's error texts in German
    xvfb xauth imagemagick                      # screenshots of the windows without a display
    postgresql odbc-postgresql                  # a real database server for the ODBC tests
    libsqliteodbc                               # an ODBC driver without block reads or timeout
    clang libclang-rt-14-dev llvm               # sanitizers, libFuzzer, readable reports
    clang-format clang-tidy                     # the tree's format and static checks
    poppler-utils                               # pdftotext: the tests read the delivery note back
)

bash scripts/install-packages.sh "${packages[@]}"

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    "${sudo[@]}" sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    "${sudo[@]}" locale-gen
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
