#!/bin/sh
# The Windows tool under Wine and the Linux tool, given the same voice (built
# on Linux) and text, write byte-identical WAV files.
# usage: same_output.sh LINUX_BIN WINDOWS_BIN WINE
set -eu
linux=$1 windows=$2 wine=$3
if [ ! -x "$linux/selvana" ] || [ -z "$wine" ]; then
  echo "skipped: needs the Linux build's selvana and Wine"
  exit 77
fi
voice=$linux/voices/default
[ -d "$voice/vox_pt_br_selvana" ] || voice=$linux/voices/tones
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
text='Olá! Às 10h30 de 3/4/2025 o café custa R$ 12,50 — você quer? Sim, 2ª vez.'
"$linux/selvana" say --voice "$voice" -o "$out/linux.wav" "$text"
LC_ALL=C.UTF-8 "$wine" "$windows/selvana.exe" say --voice "$voice" -o "$out/windows.wav" "$text"
cmp "$out/linux.wav" "$out/windows.wav"
echo "same $(wc -c <"$out/linux.wav") bytes from $voice"
