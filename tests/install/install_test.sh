#!/usr/bin/env bash
# Installs the build tree into a temporary prefix, builds the example program
# against it with pkg-config alone and runs it, and runs the installed tool,
# which must find its module and voice without options.
# Arguments: build directory, source directory, LIBDIR relative to the prefix.
set -euo pipefail
build=$1 src=$2 libdir=$3
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/selvana "$libdir/libselvana.so" "$libdir/selvana/libvoice_pt_br_selvana.so" \
         include/selvana/selvana.h "$libdir/pkgconfig/selvana.pc" "$libdir/cmake/selvana/selvanaConfig.cmake" \
         share/man/man1/selvana.1; do
  [ -e "$prefix/$f" ] || { echo "not installed: $f"; exit 1; }
done
ls "$prefix/share/selvana/voices/"*/vox_pt_br_selvana >/dev/null

export PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig"
cc -std=c99 -Wall -Wextra -Werror "$src/examples/speak.c" $(pkg-config --cflags --libs selvana) -o "$prefix/speak"
export LD_LIBRARY_PATH="$prefix/$libdir"
unset SELVANA_VOICE_DIR
out=$("$prefix/speak" "$prefix/ex.wav" "Bom dia. Tudo bem?")
echo "$out"
grep -q "libselvana 1\." <<<"$out"
grep -q " bem$" <<<"$out"
[ "$(stat -c %s "$prefix/ex.wav")" -gt 1000 ]

# The installed tool, from another folder, with nothing next to it but its tree.
unset LD_LIBRARY_PATH
(cd / && "$prefix/bin/selvana" say -o "$prefix/tool.wav" "Bom dia.")
[ "$(stat -c %s "$prefix/tool.wav")" -gt 1000 ]
echo "install test: ok"
