#!/usr/bin/env bash
# Draws docs/architecture.svg from docs/architecture.dot (Graphviz). Run it after changing the
# layers; the picture is committed so that the README shows it without a build.
source "$(dirname "$0")/strict.sh"
cd "$(dirname "$0")/.."
bash scripts/install-packages.sh graphviz
dot -Tsvg docs/architecture.dot -o docs/architecture.svg
dot -Tpng -Gdpi=96 docs/architecture.dot -o /tmp/brettholm32-architecture.png
echo "Wrote docs/architecture.svg"
