#!/bin/bash
# check_setup_exe.sh KIND:EXE ...   KIND is pe32 or pe64; a trailing ? skips a missing file.
# Setup must be a GUI program that asks for administrator rights, needs no runtime DLL beside
# the system's, and imports at load only DLLs that Windows takes from its own folder.
set -u
status=0
fail() { echo "FAIL $exe: $*"; status=1; }
allowed='advapi32.dll comctl32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll shell32.dll user32.dll'

for arg in "$@"; do
  kind=${arg%%:*} exe=${arg#*:}
  if [ "${kind%\?}" != "$kind" ]; then
    kind=${kind%\?}
    [ -f "$exe" ] || { echo "skip $exe (not there)"; continue; }
  fi
  [ -f "$exe" ] || { fail "missing"; continue; }
  case $kind in
    pe32) want='^PE32 executable \(GUI\) Intel 80386'; objdump=i686-w64-mingw32-objdump ;;
    pe64) want='^PE32\+ executable \(GUI\) x86-64'; objdump=x86_64-w64-mingw32-objdump ;;
    *) fail "unknown kind $kind"; continue ;;
  esac
  file -b "$exe" | grep -Eq "$want" || fail "not a $kind GUI program: $(file -b "$exe")"
  grep -aq 'requireAdministrator' "$exe" || fail "the manifest does not ask for administrator rights"
  imports=$($objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
  for dll in $imports; do
    grep -qw "$dll" <<<"$allowed" || fail "imports $dll at load"
  done
  [ $status = 0 ] && echo "ok $exe ($kind; imports: $(echo $imports))"
done
exit $status
