#!/usr/bin/env bash
# Builds the Debian package from a release build, unpacks it into a
# temporary root and checks what a user gets: the files, the dependencies,
# the copyright, changelog and examples, a C host that builds against the
# root with pkg-config and runs on the packaged library, and the packaged
# tool; then lintian must find no error in the package.
#
# check_package.sh BUILD_DIR SOURCE_DIR LIBDIR VERSION C_COMPILER [CONFIG]
# Exit 77 (skipped) when the Debian tools are missing; without lintian only
# its check is left out.
set -euo pipefail
build=$1 source=$2 libdir=$3 version=$4 cc=$5 config=${6:-}

for tool in dpkg dpkg-deb dpkg-shlibdeps dpkg-parsechangelog pkg-config cpack; do
  if ! command -v "$tool" >/dev/null; then
    echo "skipped: $tool is not installed (packages dpkg-dev, pkg-config, cmake)"
    exit 77
  fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*"; exit 1; }
# Whole texts are compared; a difference is shown as a diff.
same() { # what, expected, actual
  diff -u --label "expected $1" --label "actual $1" <(printf '%s\n' "$2") <(printf '%s\n' "$3") \
    || fail "$1 differs"
}

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 \
  || { cat "$work/cpack.log"; fail "cpack"; }
deb=$work/out/vorn-b32_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { ls "$work/out"; fail "no package named $(basename "$deb")"; }

lib=./usr/$libdir
doc=./usr/share/doc/vorn-b32
examples=$(cd "$source/examples" && find . -type f | sed "s|^\.|$doc/examples|" | LC_ALL=C sort)
same "files" "./usr/bin/vorn
./usr/include/vorn_b32.h
$lib/cmake/Vorn_B32/Vorn_B32Config.cmake
$lib/cmake/Vorn_B32/Vorn_B32ConfigVersion.cmake
$lib/cmake/Vorn_B32/Vorn_B32Targets-${config:-noconfig}.cmake
$lib/cmake/Vorn_B32/Vorn_B32Targets.cmake
$lib/libvorn_b32.so -> libvorn_b32.so.1
$lib/libvorn_b32.so.1 -> libvorn_b32.so.1.0.0
$lib/libvorn_b32.so.1.0.0
$lib/pkgconfig/vorn_b32.pc
./usr/share/bash-completion/completions/vorn
$doc/changelog.Debian.gz
$doc/copyright
$examples
./usr/share/man/man1/vorn.1.gz
./usr/share/man/man5/vorn-config.5.gz" \
  "$(dpkg-deb -c "$deb" | grep -v '^d' | awk '{ $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print }' | LC_ALL=C sort)"

# dpkg-shlibdeps names the packages of the C and C++ runtimes; their
# versions depend on the build machine.
same "package fields" "vorn-b32 $version
libc6, libgcc-s1, libstdc++6" \
  "$(dpkg-deb -f "$deb" Package Version | sed 's/^[A-Za-z]*: //' | paste -sd' ')
$(dpkg-deb -f "$deb" Depends | sed 's/ ([^)]*)//g')"

root=$work/root
dpkg-deb -x "$deb" "$root"
cmp "$source/doc/debian/copyright" "$root/$doc/copyright" || fail "copyright"
diff -r "$source/examples" "$root/$doc/examples" || fail "examples"
# The changelog's newest entry is this version; gzip -n left the name and
# time out of its head (flag byte 0, time 0).
zcat "$root/$doc/changelog.Debian.gz" >"$work/changelog"
same "changelog version" "$version" "$(dpkg-parsechangelog -l "$work/changelog" -S Version)"
same "changelog gzip flags and time" "0000000000" \
  "$(od -An -tx1 -j3 -N5 "$root/$doc/changelog.Debian.gz" | tr -d ' \n')"
# The .pc file finds its prefix from its own place in the root.
flags=$(PKG_CONFIG_LIBDIR="$root/usr/$libdir/pkgconfig" PKG_CONFIG_PATH= \
  pkg-config --cflags --libs vorn_b32)
"$cc" -Wall -Wextra -Werror "$source/tests/package/host.c" $flags -o "$work/host"
library=$root/usr/$libdir/libvorn_b32.so.1
scrambled=$("$root/usr/bin/vorn" password encode Vorn2026)
same "host output" "$library $version
$scrambled
Vorn2026" "$(LD_LIBRARY_PATH="$root/usr/$libdir" "$work/host" "$library" Vorn2026)"

# The packaged tool does the main job.
cd "$work"
SOURCE_DATE_EPOCH=0 "$root/usr/bin/vorn" compile --quiet "$source/examples/vorn-box.cfg" box.bin
"$root/usr/bin/vorn" verify box.bin >/dev/null || fail "vorn verify of the packaged tool's table"

# Lintian's errors fail the package; its warnings are shown only.
if command -v lintian >/dev/null; then
  lintian --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 || true
  cat "$work/lintian.log"
  ! grep -q '^E: ' "$work/lintian.log" || fail "lintian reports errors"
else
  echo "lintian is not installed: its check is left out"
fi
echo "package $(basename "$deb") checked"
