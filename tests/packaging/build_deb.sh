#!/usr/bin/env bash
# Makes the .deb from an already built tree, as scripts/package makes it from its own build.
set -euo pipefail
build=$1 out=$2
for tool in dpkg-deb dpkg-shlibdeps file readelf; do
  command -v $tool >/dev/null || { echo "SKIP: $tool is missing"; exit 77; }
done
rm -rf "$out" && mkdir -p "$out"
# The built tree is installed (stripped, under /usr) into a staging folder, and cpack packs that
# folder: no second build, and nothing of the build tree is rebuilt.
DESTDIR="$out/stage" cmake --install "$build" --prefix /usr --strip >"$out/install.log"
cpack --config "$build/CPackConfig.cmake" -B "$out/cpack" -D CPACK_INSTALL_CMAKE_PROJECTS= \
  -D "CPACK_INSTALLED_DIRECTORIES=$out/stage;." >"$out/cpack.log" 2>&1 ||
  { cat "$out/cpack.log"; exit 1; }
mv "$out"/cpack/orvanti_*.deb "$out/"
rm -rf "$out/cpack"
deb=$(ls "$out"/orvanti_*.deb)
dpkg-deb --info "$deb"
fail() { echo "FAIL: $*"; exit 1; }

# No maintainer scripts: a dpkg trigger runs ldconfig.
control=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | sed 's|^\./||')
for script in preinst postinst prerm postrm config; do
  grep -qx "$script" <<<"$control" && fail "the package has a $script script"
done
[ "$(dpkg-deb -I "$deb" triggers)" = "activate-noawait ldconfig" ] || fail "no ldconfig trigger"
# Depends: what dpkg-shlibdeps found, plus what libovcore.so opens with dlopen.
depends=$(dpkg-deb -f "$deb" Depends)
for package in libc6 libssl3 libqt6widgets6 libcurl4 libproxy1v5; do
  grep -qE "(^|, )$package( |,|\$)" <<<"$depends" || fail "Depends lacks $package: $depends"
done
[ -n "$(dpkg-deb -f "$deb" Description | tail -n +2)" ] || fail "the extended description is empty"
echo "built $deb"
