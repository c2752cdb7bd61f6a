#!/usr/bin/env bash
# Builds the Debian package from this build tree, unpacks it into a scratch root and uses what it holds:
# both programs' --version, both manual pages, the help page beside the program, the desktop entry and
# software-centre data, the completion, and lintian's verdict.
#   test_package.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log" >&2; fail "cpack could not build the package"; }
deb=$(ls "$scratch"/out/voralin_"$version"_*.deb)
dpkg-deb --field "$deb" Depends | grep -q 'libqt6widgets6' || fail "no computed library dependencies"
dpkg-deb --field "$deb" Depends | grep -q 'qt6-image-formats-plugins' || fail "the image plugins are not a dependency"

root=$scratch/root
dpkg -x "$deb" "$root"
usr=$root/usr

[ "$("$usr/bin/voralin-cli" --version)" = "voralin-cli $version" ] || fail "voralin-cli --version"
[ "$("$usr/bin/voralin" --version)" = "voralin $version" ] || fail "voralin --version"
"$usr/bin/voralin-cli" --help | grep -q -- '--version' || fail "voralin-cli --help"

for page in voralin voralin-cli; do
  file=$usr/share/man/man1/$page.1.gz
  [ -f "$file" ] || fail "no manual page $page(1)"
  text=$(MANWIDTH=80 man --warnings -l "$file" 2>"$scratch/man.err")
  [ ! -s "$scratch/man.err" ] || { cat "$scratch/man.err" >&2; fail "$page(1) renders with warnings"; }
  for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" FILES EXAMPLES; do
    grep -q "^$section" <<<"$text" || fail "$page(1) has no $section"
  done
done
# Every option that --help names is described in the manual page.
for option in $("$usr/bin/voralin-cli" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
  MANWIDTH=200 man -l "$usr/share/man/man1/voralin-cli.1.gz" 2>/dev/null | grep -q -- "$option" ||
    fail "voralin-cli(1) does not describe $option"
done

# So is every picture type.
types=$("$usr/bin/voralin-cli" --help | sed -n 's/.*comma-separated: \([a-z0-9,]*\).*/\1/p' | tr ',' ' ')
[ -n "$types" ] || fail "no types in --help"
for type in $types; do
  MANWIDTH=200 man -l "$usr/share/man/man1/voralin-cli.1.gz" 2>/dev/null | grep -q -w -- "$type" ||
    fail "voralin-cli(1) does not name the type $type"
done

# The window finds its help page at ../share/doc/voralin/ from the program.
[ -s "$usr/bin/../share/doc/voralin/help.html" ] || fail "no help page beside the program"
grep -q '<title>How to use Voralin</title>' "$usr/share/doc/voralin/help.html" || fail "help page"

desktop-file-validate "$usr/share/applications/voralin.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$usr"/share/metainfo/*.metainfo.xml >"$scratch/as.log" 2>&1 ||
  { cat "$scratch/as.log" >&2; fail "AppStream data"; }
[ -f "$usr/share/icons/hicolor/scalable/apps/voralin.svg" ] || fail "scalable icon"
for size in 16 22 24 32 48 64 128 256; do
  file "$usr/share/icons/hicolor/${size}x${size}/apps/voralin.png" | grep -q "$size x $size" || fail "${size}px icon"
done

completion=$usr/share/bash-completion/completions/voralin-cli
bash -n "$completion" || fail "completion file"
if [ -f /usr/share/bash-completion/bash_completion ]; then
  got=$(PATH=$usr/bin:$PATH bash -c '
    source /usr/share/bash-completion/bash_completion
    source "$1"
    COMP_WORDS=(voralin-cli --thr); COMP_CWORD=1; COMP_LINE="voralin-cli --thr"; COMP_POINT=${#COMP_LINE}
    _voralin_cli voralin-cli --thr voralin-cli; echo "${COMPREPLY[*]}"
    COMP_WORDS=(voralin-cli --types jpg,ti); COMP_CWORD=2; COMP_LINE="voralin-cli --types jpg,ti"
    COMP_POINT=${#COMP_LINE}
    _voralin_cli voralin-cli jpg,ti --types; echo "${COMPREPLY[*]}"' _ "$completion")
  [ "$got" = $'--threads\njpg,tiff' ] || fail "completion gave: $got"
fi

if command -v lintian >/dev/null; then
  lintian --fail-on error "$deb" >"$scratch/lintian.log" 2>&1 || { cat "$scratch/lintian.log" >&2; fail "lintian"; }
  cat "$scratch/lintian.log"
fi
echo "package $(basename "$deb") checked"
