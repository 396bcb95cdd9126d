#!/usr/bin/env bash
# Copies a generated host database (bench/generate.sh) into a new PostgreSQL database under the
# SQL Server-like types of tests/postgres/host-schema.sql, for the reader role to read.
#
#   bench/load-postgres.sh PORT DATABASE SQLITE-FILE
#
# The server is one that brettholm32-bench postgres started, on loopback.
set -euo pipefail
cd "$(dirname "$0")/.."
port=$1
database=$2
source=$3
admin=(psql -q -X -v ON_ERROR_STOP=1 -h 127.0.0.1 -p "$port" -U postgres)
"${admin[@]}" -d postgres -c "CREATE DATABASE $database" >/dev/null
"${admin[@]}" -d "$database" -f tests/postgres/host-schema.sql >/dev/null
# The generator's nation texts include one longer than the schema's three characters.
"${admin[@]}" -d "$database" -c "ALTER TABLE PERSONAL ALTER COLUMN NATION TYPE VARCHAR(20)" >/dev/null
for table in LISTENKOPF LOGS LOGS_RECH PERSONAL RINDENKENNZ WALDORT RELTABLE; do
    columns=$("${admin[@]}" -d "$database" -At -c "SELECT string_agg(column_name, ','
        ORDER BY ordinal_position) FROM information_schema.columns
        WHERE table_name = lower('$table')")
    sqlite3 -csv "$source" "SELECT $columns FROM $table" \
        | "${admin[@]}" -d "$database" -c "\\copy $table ($columns) FROM PSTDIN WITH (FORMAT csv)"
done
"${admin[@]}" -d "$database" -c "ANALYZE" >/dev/null
