#!/bin/sh
# The Windows voice module exports exactly register_voice and
# unregister_voice, and imports only from Windows' own DLLs (the kernel and
# the C runtime that Windows ships).
# usage: check_dll.sh OBJDUMP DLL
set -eu
dump=$("$1" -p "$2")
exports=$(printf '%s\n' "$dump" | sed -n '/Ordinal\/Name Pointer/,/^$/p' | awk '/\[ *[0-9]+\]/ { print $NF }' | sort | tr '\n' ' ')
imports=$(printf '%s\n' "$dump" | awk '/DLL Name:/ { print tolower($3) }' | sort -u | tr '\n' ' ')
status=0
if [ "$exports" != "register_voice unregister_voice " ]; then
  echo "exports: $exports(want register_voice unregister_voice)"
  status=1
fi
for dll in $imports; do
  case $dll in
    kernel32.dll | msvcrt.dll | ucrtbase.dll | api-ms-win-crt-*.dll) ;;
    *) echo "imports from $dll, which Windows does not ship"; status=1 ;;
  esac
done
case " $imports" in
  *" kernel32.dll "*) ;;
  *) echo "no import from kernel32.dll: $imports"; status=1 ;;
esac
[ $status -eq 0 ] && echo "exports: $exports; imports: $imports"
exit $status
