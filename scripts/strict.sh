# Sourced first by every script here: stop at the first failing command, unset variable or
# failing stage of a pipeline, and name the step that failed, so that a log never just stops.
# Command substitutions and subshells stay quiet; their caller fails or handles it.
set -Eeuo pipefail
trap 'rc=$?; ((BASH_SUBSHELL)) || echo "${BASH_SOURCE[0]##*/}:$LINENO: $BASH_COMMAND: exit $rc" >&2' ERR
