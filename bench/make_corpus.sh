#!/bin/sh
# make_corpus.sh - builds the benchmark inputs in a folder: text, binary, repetitive and random.
set -eu
out="${1:?usage: make_corpus.sh FOLDER}"
mkdir -p "$out"
# about 20 MB of C headers
[ -s "$out/text" ] || find /usr/include -type f -name '*.h' -print0 | sort -z | xargs -0 cat | head -c 20000000 > "$out/text"
# about 20 MB of shared libraries
[ -s "$out/binary" ] || find /usr/lib -type f -name '*.so*' -size +100k -print0 | sort -z | xargs -0 cat 2>/dev/null | head -c 20000000 > "$out/binary"
# 10 MB of a short repeated pattern
[ -s "$out/repetitive" ] || yes ab | tr -d '\n' | head -c 10000000 > "$out/repetitive"
# 4 MB of random bytes
[ -s "$out/random" ] || head -c 4000000 /dev/urandom > "$out/random"
ls -l "$out"
