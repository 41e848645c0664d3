#!/usr/bin/env bash
# Seeds the cabinet fuzzer's corpus with small gcab cabinets: stored and MSZIP, a folder level.
set -euo pipefail
corpus=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir sub
printf 'first file\n' >a.txt
printf 'second file, a little longer: %s\n' "$(seq 1 40)" >sub/b.txt
TZ=UTC gcab -c "$corpus/seed-stored.cab" a.txt sub/b.txt
TZ=UTC gcab -c -z "$corpus/seed-mszip.cab" a.txt sub/b.txt
