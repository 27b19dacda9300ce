#!/usr/bin/env bash
# The end-to-end tests on the product: the i686 driver of preset product-e2e
# against the real disk (build/disk) under a 32-bit Wine. scripts/i386-pc.sh
# runs it on the machine's 32-bit route: here, or inside the emulated PC.
#   product-tests.sh [CTEST ARGS...]
set -euo pipefail
cd "$(dirname "$0")/.."
ctest --preset product-e2e "$@"
