#!/bin/bash
# check_dll.sh KIND:DLL ...   KIND is pe32 or pe64; a trailing ? (pe32?:path) skips a missing file.
# Each module must be a DLL of that kind, export exactly DllGetClassObject and DllCanUnloadNow,
# need no MinGW or C++ runtime DLL at load, and carry a version resource. A module in a driver
# package folder (.../i386/, .../X64/) is the plug-in of that folder's architecture.
set -u
status=0
fail() { echo "FAIL $dll: $*"; status=1; }

for arg in "$@"; do
  kind=${arg%%:*} dll=${arg#*:}
  if [ "${kind%\?}" != "$kind" ]; then
    kind=${kind%\?}
    [ -f "$dll" ] || { echo "skip $dll (not there)"; continue; }
  fi
  [ -f "$dll" ] || { fail "missing"; continue; }
  case $kind in
    pe32) want='PE32 executable \(DLL\).*Intel 80386'; objdump=i686-w64-mingw32-objdump ;;
    pe64) want='PE32\+ executable \(DLL\).*x86-64'; objdump=x86_64-w64-mingw32-objdump ;;
    *) fail "unknown kind $kind"; continue ;;
  esac
  case $(basename "$(dirname "$dll")") in
    i386) [ "$kind" = pe32 ] || { fail "checked as $kind in a 32-bit package folder"; continue; } ;;
    X64) [ "$kind" = pe64 ] || { fail "checked as $kind in a 64-bit package folder"; continue; } ;;
  esac
  file -b "$dll" | grep -Eq "$want" || fail "not a $kind DLL: $(file -b "$dll")"

  dump=$($objdump -p "$dll") || { fail "objdump failed"; continue; }
  exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" | sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\] //p' | sort | tr '\n' ' ')
  [ "$exports" = "DllCanUnloadNow DllGetClassObject " ] || fail "exports are '$exports'"

  imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump" | tr 'A-Z' 'a-z' | sort -u | tr '\n' ' ')
  if grep -Eq 'libstdc|libgcc|libwinpthread|msvcp|vcruntime' <<<"$imports"; then fail "runtime DLL imported: $imports"; fi
  grep -q 'winspool.drv' <<<"$imports" || fail "WritePrinter's winspool.drv is not imported: $imports"

  strings -el "$dll" | grep -qx 'OriginalFilename' || fail "no version resource"
  [ $status = 0 ] && echo "ok $dll ($kind; exports: $exports; imports: $imports)"
done
exit $status
