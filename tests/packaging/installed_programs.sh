#!/usr/bin/env bash
# The package extracted into a fresh root works on its own: every file in place, nothing resolved
# into the build tree, orvanti-cli makes a token and a passcode in a private store, orvanti runs,
# and a C program builds against the installed header and ovcore.pc.
set -euo pipefail
deb=$(ls "$1"/orvanti_*.deb) build=$(cd "$2" && pwd -P) source=$(cd "$3" && pwd -P)
command -v dpkg-deb >/dev/null || { echo "SKIP: dpkg-deb is missing"; exit 77; }
tmp=$(mktemp -d) && trap 'rm -rf "$tmp"' EXIT
root=$tmp/root
dpkg-deb -x "$deb" "$root"
fail() { echo "FAIL: $*"; exit 1; }

lib=$(dirname "$(find "$root" -name 'libovcore.so.*' -type f | head -1)")
[ -n "$lib" ] && [[ $lib == "$root"/usr/lib/* ]] || fail "libovcore.so not under /usr/lib"
libdir=${lib#"$root"}
for f in /usr/bin/orvanti /usr/bin/orvanti-cli $libdir/libovcore.so $libdir/libbrisel.so \
         $libdir/pkgconfig/ovcore.pc /usr/include/ov/ov_api.h \
         /usr/share/applications/orvanti.desktop /usr/share/icons/hicolor/scalable/apps/orvanti.svg \
         /usr/share/metainfo/org.example.orvanti.metainfo.xml \
         /usr/share/man/man1/orvanti.1.gz /usr/share/man/man1/orvanti-cli.1.gz \
         /usr/share/bash-completion/completions/orvanti-cli \
         /usr/share/doc/orvanti/copyright /usr/share/doc/orvanti/changelog.gz; do
  [ -e "$root$f" ] || fail "$f is missing from the package"
done
readelf -d "$root/usr/bin/orvanti-cli" | grep -q 'NEEDED.*libovcore.so.0' ||
  fail "orvanti-cli does not need libovcore.so.0"
for f in "$root"/usr/bin/* "$lib"/*.so*; do
  if readelf -d "$f" | grep -qE 'RPATH|RUNPATH'; then fail "$f carries an RPATH"; fi
done

export LD_LIBRARY_PATH=$lib
for program in "$root"/usr/bin/orvanti "$root"/usr/bin/orvanti-cli; do
  out=$(ldd "$program")
  grep -q 'not found' <<<"$out" && fail "$program: $out"
  grep -qF "$build" <<<"$out" && fail "$program resolves into the build tree: $out"
  grep -qF "$source" <<<"$out" && fail "$program resolves into the source tree: $out"
  grep -q "libovcore.so.0 => $lib/" <<<"$out" || fail "$program does not use the package's libovcore: $out"
done

mkdir -m 700 "$tmp/data" "$tmp/run" "$tmp/home"
cd "$tmp"
run() {
  env -i PATH="$root/usr/bin:/usr/bin:/bin" LD_LIBRARY_PATH="$lib" HOME="$tmp/home" \
      XDG_DATA_HOME="$tmp/data" XDG_RUNTIME_DIR="$tmp/run" "$@"
}
run orvanti-cli new Work
run orvanti-cli activate Work --policy 19929092 --pin-stdin </dev/null
code=$(run orvanti-cli code Work --pin-stdin </dev/null)
[[ $code =~ ^[0-9]{6,8}$ ]] || fail "no passcode: '$code'"
[ -d "$tmp/data/Kelsa/Orvanti" ] || fail "the token store is not under XDG_DATA_HOME"
version=$(run orvanti --version)
[ "$version" = "orvanti $(run orvanti-cli --version | cut -d' ' -f2)" ] || fail "orvanti --version: $version"
# libbrisel.so is found through the library path and writes where BRISEL_LOG points.
run env BRISEL_LOG="$tmp/brisel.log" orvanti-cli list >/dev/null
[ -s "$tmp/brisel.log" ] || fail "libbrisel.so wrote nothing to BRISEL_LOG"

if command -v cc >/dev/null && command -v pkg-config >/dev/null; then
  printf '#include <ov/ov_api.h>\nint main(void) { return OV_Finalize() == 12345; }\n' >"$tmp/use.c"
  flags=$(PKG_CONFIG_PATH="$lib/pkgconfig" pkg-config --cflags --libs ovcore)
  # shellcheck disable=SC2086
  cc -Wall -Werror "$tmp/use.c" $flags -o "$tmp/use" || fail "a C program does not build with ovcore.pc"
  run "$tmp/use"
fi
echo "installed package works: passcode $code"
