#!/usr/bin/env bash
# Layering stage: no include cycle between files anywhere in the tree.
set -euo pipefail
bash "$(dirname "$0")/../check-include-cycles.sh"
