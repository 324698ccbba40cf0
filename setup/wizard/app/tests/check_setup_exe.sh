#!/bin/bash
# check_setup_exe.sh KIND:EXE ...   KIND is pe32 or pe64; a trailing ? skips a missing file.
# Setup must be a GUI program that asks for administrator rights, needs no runtime DLL beside
# the system's, imports at load only DLLs that Windows takes from its own folder, and imports no
# call that Windows XP SP3 (the oldest system it starts on) lacks: those are looked up at run time.
set -u
status=0
fail() { echo "FAIL $exe: $*"; status=1; }
allowed='advapi32.dll comctl32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll shell32.dll user32.dll'
# Calls of Windows Vista and later that a toolchain or a careless change pulls in most often.
newer='GetTickCount64 SetDefaultDllDirectories AddDllDirectory RemoveDllDirectory InitializeSRWLock
  AcquireSRWLockExclusive AcquireSRWLockShared ReleaseSRWLockExclusive ReleaseSRWLockShared
  TryAcquireSRWLockExclusive InitializeConditionVariable SleepConditionVariableCS SleepConditionVariableSRW
  WakeConditionVariable WakeAllConditionVariable InitOnceExecuteOnce InitOnceBeginInitialize FlsAlloc FlsFree
  FlsGetValue FlsSetValue GetSystemTimePreciseAsFileTime CreateSymbolicLinkW GetFinalPathNameByHandleW
  CancelIoEx CreateEventExW CreateMutexExW CreateSemaphoreExW GetCurrentProcessorNumber
  QueryFullProcessImageNameW LCIDToLocaleName LocaleNameToLCID GetLocaleInfoEx CompareStringEx
  GetUserDefaultLocaleName RegGetValueW RegDeleteTreeW RegSetKeyValueW SHGetKnownFolderPath
  TaskDialog TaskDialogIndirect SetProcessDPIAware SetProcessDpiAwareness SetProcessDpiAwarenessContext
  GetDpiForWindow GetDpiForSystem SetThreadDpiAwarenessContext ChangeWindowMessageFilter
  ChangeWindowMessageFilterEx'

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
  calls=$($objdump -p "$exe" | sed -n 's/^\t[0-9a-f]*\t *[0-9]* //p' | sort -u)
  for call in $calls; do
    grep -qw "$call" <<<"$newer" && fail "imports $call, which older systems lack"
  done
  [ $status = 0 ] && echo "ok $exe ($kind; imports: $(echo $imports))"
done
exit $status
