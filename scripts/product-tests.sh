#!/usr/bin/env bash
# The end-to-end tests on the product: the i686 driver of preset product-e2e
# against the real disk (build/disk) under a 32-bit Wine. scripts/i386-pc.sh
# runs it on the machine's 32-bit route: here, or inside the emulated PC.
#   product-tests.sh [CTEST ARGS...]
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -n "${VX_GUEST_CACHE_DIR:-}" ]; then
  # In the emulated PC: the prefix lives on the PC's own disk rather than in the
  # shared folder, and is copied from a template kept in the PC's cache, made by
  # the first run (making a 32-bit prefix there takes minutes). The template
  # follows the bench script that makes prefixes.
  export VX_BENCH_DIR=/var/lib/vx/bench
  export VX_PREFIX_TEMPLATE=$VX_GUEST_CACHE_DIR/prefix-$(sha256sum scripts/wine-bench.sh | cut -c1-16)
fi
ctest --preset product-e2e "$@"
