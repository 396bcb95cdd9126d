#!/usr/bin/env bash
# Builds a host database with N logs in one timber list, and settings that export it.
#
#   bench/generate.sh N DIR
#
# Writes DIR/host.sqlite (the demo schema), DIR/Brett.Ini (Windows-1252, CR LF) whose field
# sources name header (TEXTn), log (WOn, FREIn, RELTABLEn) and owner (UID, BANK1) columns, and
# DIR/export/, the export directory. The list is BENCH; a second list of ten logs stays out of
# the export. Every value is a function of the log's number, so the same N gives the same file.
# The logs cover every rule of the delivery line: logs with and without owner, nation codes
# D, DE, AT, NULL, long and blank-padded texts, bark codes with blanks, piece sequences, VAT
# rate 0, NULL and fractions, NULL columns behind unchecked field sources, and umlauts.
set -euo pipefail

if [ $# -ne 2 ] || ! [[ $1 =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: $0 N DIR" >&2
    exit 2
fi
count=$1
dir=$2
source_dir="$(cd "$(dirname "$0")/.." && pwd)"

mkdir -p "$dir/export"
database="$dir/host.sqlite"
rm -f "$database" "$database-journal"

sqlite3 "$database" >/dev/null <<SQL
.read $source_dir/demo/schema.sql
PRAGMA journal_mode = OFF;
PRAGMA synchronous = OFF;
BEGIN;

INSERT INTO LISTENKOPF (LISTE, GESPERRT, TEXT1, TEXT2, TEXT3, TEXT4, TEXT5, TEXT6, TEXT7, TEXT8,
                        TEXT9, TEXT10, TEXT11, TEXT12, TEXT13, TEXT14, TEXT15)
VALUES ('BENCH', 0, '4711', 'KV-2024-17', 'Holzliste Winter', '83646', '08041 79 12 0', 'T6',
        'T7', 'T8', 'T9', 'T10', 'T11', 'T12', 'T13', 'T14', 'T15'),
       ('OTHER', 0, '4711', 'KV-2024-18', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL,
        NULL, NULL, NULL, NULL);

WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40)
INSERT INTO RELTABLE (ID, LANGNAME)
SELECT i, CASE i % 4 WHEN 0 THEN 'Güteklasse ' || i WHEN 1 THEN 'Sägeholz lang ' || i
                     WHEN 2 THEN 'Förster Müller-' || i ELSE 'Polter Forststraße ' || i END
FROM n;

INSERT INTO RINDENKENNZ (ID_RINDENKENNZ, RINDENKENNZ)
VALUES (1, 'U'), (2, 'a'), (3, ' a '), (4, 'A'), (5, 'u'), (6, 'm');

WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 50)
INSERT INTO WALDORT (ID_WALDORT, WO1, WO2, WO3, WO4, WO5, WO6)
SELECT i, 'Revier ' || CASE i % 3 WHEN 0 THEN 'Nord' WHEN 1 THEN 'Süd' ELSE 'Oberes Isartal mit Jachenau und Längental' END,
       'Distrikt ' || i, CAST(i % 17 + 1 AS TEXT), CASE WHEN i % 5 = 0 THEN NULL ELSE char(97 + i % 4) END,
       'Hang ' || i, CASE WHEN i % 2 = 0 THEN NULL ELSE 'Polter ' || i END
FROM n;

WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 997)
INSERT INTO PERSONAL (ID_PERSONAL, NUMMER, NAME, ORT, PLZ, STRASSE, NATION, BLZ, BANK, KONTO,
                      POSTSCHECK, UID, BLZ1, BANK1, KONTO1, POSTSCHECK1, UID1)
SELECT i, 'WB-' || (100000 + i),
       CASE i % 3 WHEN 0 THEN 'Jürgen Müller ' || i WHEN 1 THEN 'Gräfin Käthe von Öttingen-Wallerstein und Spielberg ' || i
                  ELSE 'Forstbetriebsgemeinschaft Süd w.V. ' || i END,
       CASE i % 2 WHEN 0 THEN 'Bad Tölz' ELSE 'Lenggries' END,
       CAST(80000 + i * 7 AS TEXT), 'Am Mühlbach ' || i,
       CASE i % 8 WHEN 0 THEN 'D' WHEN 1 THEN 'DE' WHEN 2 THEN NULL WHEN 3 THEN 'AT'
                  WHEN 4 THEN 'Österreich' WHEN 5 THEN ' d ' WHEN 6 THEN '' ELSE '  ' END,
       CASE WHEN i % 9 = 0 THEN NULL ELSE CAST(70050000 + i AS TEXT) END,
       'Sparkasse ' || i, CASE WHEN i % 11 = 0 THEN NULL ELSE CAST(1234567890123456789 + i AS TEXT) END,
       NULL, CASE WHEN i % 4 = 0 THEN NULL ELSE 'DE' || (129273398 + i) END,
       NULL, CASE WHEN i % 3 = 0 THEN NULL ELSE 'HypoVereinsbank ' || i END, NULL, NULL, NULL
FROM n;

WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < $count + 10)
INSERT INTO LOGS (ID_LOG, LISTE, LISTDATUM, LOS, BLNR, HA, GKL, LAENGE, DURCH, KLST, FREI1,
                  FREI2, FREI3, FREI4, FREI5, RELTABLE1, RELTABLE2, RELTABLE3, RELTABLE4,
                  RELTABLE5, RELTABLE6, RELTABLE7, RELTABLE8, RELTABLE9, RELTABLE10,
                  ID_RINDENKENNZ, ID_WALDORT)
SELECT i, CASE WHEN i <= $count THEN 'BENCH' ELSE 'OTHER' END,
       date('2024-01-01', '+' || (i % 300) || ' days'),
       CASE i % 6 WHEN 0 THEN NULL WHEN 1 THEN ' L-' || (i % 40) || '-2024 ' ELSE CAST(i % 40 AS TEXT) END,
       (i * 7919) % $count + 1,
       CASE i % 5 WHEN 0 THEN 'fi' WHEN 1 THEN ' ki ' WHEN 2 THEN 'Bu' WHEN 3 THEN 'ei' ELSE 'dgl' END,
       CASE i % 4 WHEN 0 THEN 'b' WHEN 1 THEN 'bc' WHEN 2 THEN ' c ' ELSE 'abcdef' END,
       (i * 37 % 2000) / 100.0 + 1, i % 60 + 10,
       CASE i % 7 WHEN 0 THEN NULL WHEN 1 THEN 2 WHEN 2 THEN 3 WHEN 3 THEN 3 WHEN 4 THEN 1 ELSE 3 END,
       CASE WHEN i % 3 = 0 THEN NULL ELSE 'EKV-' || (i % 1000) END,
       CASE WHEN i % 4 = 0 THEN NULL ELSE 'U' || (i % 9) END,
       'F3', NULL, 'F5',
       i % 40 + 1, CASE WHEN i % 5 = 0 THEN NULL ELSE (i * 3) % 40 + 1 END, (i * 7) % 40 + 1,
       NULL, 5, 6, 7, 8, 9, (i * 11) % 40 + 1,
       CASE WHEN i % 7 = 6 THEN NULL ELSE i % 6 + 1 END, i % 50 + 1
FROM n;

WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < $count + 10)
INSERT INTO LOGS_RECH (ID_LOG, A1_KUNDE, MWST)
SELECT i, CASE WHEN i % 13 = 0 THEN NULL ELSE i % 997 + 1 END,
       CASE i % 5 WHEN 0 THEN 0 WHEN 1 THEN NULL WHEN 2 THEN 19 WHEN 3 THEN 10.7 ELSE 5.5 END
FROM n;

COMMIT;
ANALYZE;
SQL

# The settings file: field sources of every kind, fixed texts with blanks around them and
# values longer than their field.
cat <<INI | iconv -f UTF-8 -t WINDOWS-1252 | sed 's/$/\r/' > "$dir/Brett.Ini"
EXPORTPATH=$dir/export
BUNDESLAND=Bayern
LIEFNRBRETT=TEXT1
KAUVERTRNR=TEXT2
EXTKAUFVERTRNR=FREI1
FORSTAMT=Forstbetrieb Bad Tölz im Oberland an der Isar
FORSTAMTNUMMER=FB-0815
FWJ=2024/25
REVIER=WO1
DISTRIKT=RELTABLE2
STRASSEREVIER= Forstweg 3 
PLZREVIER=TEXT4
ORTREVIER=Bad Tölz
NAMEREVIERFORSTER=RELTABLE10
TELREVIERFORSTER=TEXT5
ABT=WO3
UABT=FREI2
STEUERNR=139/123/45678
ZERTIFIZIERUNG=PEFC
ZERTIFIZIERUNGSNR=PEFC/04-31-0001
STEUERNRWB=UID
ZERTIFIZIERUNGWB=
ZERTIFIZIERUNGSNRWB=BANK1
INI
