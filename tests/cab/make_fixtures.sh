#!/usr/bin/env bash
# Makes the cabinets that the extraction tests read, with gcab, into the folder given: the source
# files under src/ (with fixed modification times) and the cabinets beside them. The time zone is
# pinned to UTC, so every stored DOS time is the source's UTC time.
set -euo pipefail
out=$1
export TZ=UTC
rm -rf "$out"
mkdir -p "$out/src"
cd "$out/src"

python3 - <<'PY'
import random
rng = random.Random(20190517)
open("hello.txt", "w").write("Hello from the cabinet.\r\n")
for i in range(1, 13):
    open("file%02d.txt" % i, "w").write(("line %d of file %d\n" % (0, i)) + "".join(
        "line %d of file %d\n" % (n, i) for n in range(1, i * 40)))
open("empty.dat", "w").close()
# Half random bytes, half text: about 3 MiB, about a hundred data blocks.
words = ["receiver", "frequency", "update", "antenna", "scan", "memory", "channel", "squelch"]
text = " ".join(rng.choice(words) for _ in range(300000)).encode()[:1536 * 1024]
noise = bytes(rng.getrandbits(8) for _ in range(1536 * 1024))
open("big.bin", "wb").write(noise + text)
import os
os.makedirs("sub", exist_ok=True)
open("sub/inner.txt", "w").write("one folder level down\n")
os.makedirs("lvl1/lvl2", exist_ok=True)
open("lvl1/lvl2/deep.txt", "w").write("two folder levels down\n")
open("notacab.cab", "w").write("This is plain text, not a cabinet.\n")
# 8 MiB of zeros: a cabinet of a few KiB that unpacks to far more than it holds.
os.makedirs("zeros", exist_ok=True)
open("zeros/a.dll", "wb").write(bytes(8 * 1024 * 1024))
PY

touch -d '2019-05-17 13:45:30' hello.txt file*.txt empty.dat big.bin sub/inner.txt \
  lvl1/lvl2/deep.txt
touch -d '2001-02-03 04:05:07' file07.txt  # an odd second: the cabinet keeps 04:05:06

gcab -c ../one.cab hello.txt
gcab -c ../many.cab file*.txt empty.dat
gcab -c -z ../many_zip.cab file*.txt empty.dat
gcab -c -z ../big_zip.cab big.bin
gcab -c ../subfolder.cab sub/inner.txt hello.txt
gcab -c ../two_levels.cab hello.txt lvl1/lvl2/deep.txt
cp notacab.cab ../notacab.cab
(cd zeros && gcab -c -z ../../zeros_zip.cab a.dll)
