#!/usr/bin/env bash
# Seeds of the newer picture types, made with their own Debian tools: fuzz/make-type-seeds.sh <seed folder>
# Writes <seed folder>/webp, heic, avif, jxl and nef: small stills, with and without alpha, and animations.
set -euo pipefail
out=${1:?seed folder}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$out/webp" "$out/heic" "$out/avif" "$out/jxl" "$out/nef"
convert -size 24x16 gradient:red-blue "$tmp/still.png"
convert -size 24x16 gradient:none-green "$tmp/alpha.png"
convert -size 24x16 xc:orange "$tmp/second.png"
convert -delay 10 "$tmp/still.png" "$tmp/second.png" "$tmp/anim.gif"

cwebp -quiet -q 80 "$tmp/still.png" -o "$out/webp/lossy"
cwebp -quiet -lossless "$tmp/alpha.png" -o "$out/webp/lossless-alpha"
cwebp -quiet -q 80 -alpha_q 50 "$tmp/alpha.png" -o "$out/webp/lossy-alpha"
img2webp -o "$out/webp/animation" "$tmp/still.png" "$tmp/second.png"

heif-enc -q 50 -o "$out/heic/still" "$tmp/still.png"
heif-enc -q 50 -o "$out/heic/alpha" "$tmp/alpha.png"
heif-enc -q 50 -o "$out/heic/collection" "$tmp/still.png" "$tmp/second.png"

avifenc -s 10 "$tmp/still.png" "$out/avif/still.avif" >/dev/null
avifenc -s 10 "$tmp/alpha.png" "$out/avif/alpha.avif" >/dev/null
avifenc -s 10 "$tmp/still.png" "$tmp/second.png" "$out/avif/sequence.avif" >/dev/null
for f in "$out"/avif/*.avif; do mv "$f" "${f%.avif}"; done

cjxl --quiet -d 1 "$tmp/still.png" "$out/jxl/lossy"
cjxl --quiet -d 0 "$tmp/alpha.png" "$out/jxl/lossless-alpha"
cjxl --quiet -d 1 "$tmp/anim.gif" "$out/jxl/animation"

# No Debian tool writes camera raw files; a TIFF-based raw container starts from a TIFF.
convert "$tmp/still.png" -depth 16 "tiff:$out/nef/tiff16"
convert "$tmp/still.png" "tiff:$out/nef/tiff8"
# The picture seeds' linear DNGs (the CR2 seeds, format byte 5) without their format byte.
for f in "$out"/picture/*; do
    [ "$(head -c1 "$f" | od -An -tu1 | tr -d ' ')" = 5 ] && tail -c +2 "$f" >"$out/nef/dng-$(basename "$f")"
done
true
