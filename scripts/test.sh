#!/usr/bin/env bash
# Builds both presets and runs every test: the native unit tests, the import
# check of SETUP.EXE against Windows 95, and the end-to-end tests under Wine.
# Installs what it needs first (as root, once).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

cmake --preset native
cmake --build --preset native
ctest --preset native -j "$(nproc)"

cmake --preset windows
cmake --build --preset windows
# The end-to-end tests share one Wine desktop and run one at a time.
ctest --preset windows
