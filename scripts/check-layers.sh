#!/usr/bin/env bash
# Fails when a product file includes a folder above its own layer. The core runs
# base <- host <- settings <- export <- cli; the GUI folders (ui, about, app, and the windows
# F_* beside their subsystem) may include the core; app may include everything. Nothing in the
# core includes a GUI folder.
#
#   scripts/check-layers.sh [SOURCE_DIR]
source "$(dirname "$0")/strict.sh"
cd "${1:-$(dirname "$0")/..}"

core="base host settings export cli"
# The folders a file of each layer may include from, its own among them.
declare -A allowed=(
    [base]="base"
    [host]="base host"
    [settings]="base host settings"
    [export]="base host settings export"
    [cli]="base host settings export cli"
    [ui]="$core ui"
    [window]="$core ui"   # F_Einst.* and the other windows beside their subsystem
    [about]="$core ui about"
    [app]="$core ui about app"
)

status=0
for file in $(find base host settings export cli ui about app -name '*.cpp' -o -name '*.h' | sort); do
    folder=${file%%/*}
    layer=$folder
    case $(basename "$file") in F_*) [ "$folder" = app ] || [ "$folder" = about ] || layer=window ;; esac
    while IFS=: read -r line target; do
        target_folder=${target%%/*}
        if [[ " ${allowed[$layer]} " != *" $target_folder "* ]]; then
            echo "$file:$line: includes $target against the layers ($layer may use: ${allowed[$layer]})"
            status=1
        fi
    done < <(grep -n '^#include "[a-z]*/' "$file" | sed 's/^\([0-9]*\):#include "\([^"]*\)".*/\1:\2/')
done
if [ "$status" -eq 0 ]; then
    echo "Every include points down the layers"
fi
exit "$status"
