#!/usr/bin/env bash
# Fails when a product file includes a folder above its own layer or beside it. The core runs
# base <- host <- settings <- export; on top of it stand two siblings that do not use each
# other: the command line (cli) and the GUI (ui, what the windows share, below app, the
# windows and the program). Both use print, the PDF writer, which needs only base. A file's
# folder alone decides its layer.
#
#   scripts/check-layers.sh [SOURCE_DIR]
source "$(dirname "$0")/strict.sh"
cd "${1:-$(dirname "$0")/..}"

core="base host settings export"
# The folders a file of each layer may include from, its own among them.
declare -A allowed=(
    [base]="base"
    [host]="base host"
    [settings]="base host settings"
    [export]="$core"
    [print]="base print"
    [cli]="$core print cli"
    [ui]="$core ui"
    [app]="$core print ui app"
)

status=0
for file in $(find "${!allowed[@]}" -name '*.cpp' -o -name '*.h' | sort); do
    folder=${file%%/*}
    while IFS=: read -r line target; do
        target_folder=${target%%/*}
        if [[ " ${allowed[$folder]} " != *" $target_folder "* ]]; then
            echo "$file:$line: includes $target against the layers ($folder may use: ${allowed[$folder]})"
            status=1
        fi
    done < <(grep -n '^#include "[a-z]*/' "$file" | sed 's/^\([0-9]*\):#include "\([^"]*\)".*/\1:\2/')
done
if [ "$status" -eq 0 ]; then
    echo "Every include points down the layers"
fi
exit "$status"
