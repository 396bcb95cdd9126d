#!/usr/bin/env bash
# Draws docs/architecture.svg from docs/architecture.dot (Graphviz). Run it after changing the
# layers; the picture is committed so that the README shows it without a build.
source "$(dirname "$0")/strict.sh"
cd "$(dirname "$0")/.."
if ! command -v dot >/dev/null; then
    sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends graphviz
fi
dot -Tsvg docs/architecture.dot -o docs/architecture.svg
dot -Tpng -Gdpi=96 docs/architecture.dot -o /tmp/brettholm32-architecture.png
echo "Wrote docs/architecture.svg"
