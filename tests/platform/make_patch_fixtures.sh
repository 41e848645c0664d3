#!/usr/bin/env bash
# Makes a patch with zstd's own command-line tool ("--patch-from") into the folder given: old.bin,
# new.bin (old.bin with a few bytes changed and some inserted) and new.bin.zst.
set -euo pipefail
out=$1
rm -rf "$out"
mkdir -p "$out"
cd "$out"
python3 - <<'PY'
import random
rng = random.Random(21)
old = bytes(rng.getrandbits(8) for _ in range(200000))
new = old[:5000] + b"changed" + old[5007:120000] + bytes(rng.getrandbits(8) for _ in range(3000)) + old[120000:]
open("old.bin", "wb").write(old)
open("new.bin", "wb").write(new)
PY
zstd -q -19 --patch-from=old.bin new.bin -o new.bin.zst
