// The C++ runtime's thread library imports GetTickCount64, which Windows XP and Server 2003
// lack, so Setup would not start there. This definition of the import slot comes before
// kernel32's import library: the call is looked up at run time, with GetTickCount in its place
// where it is missing.
#include <windows.h>

namespace {

ULONGLONG WINAPI TickCount64() {
    using Fn = ULONGLONG(WINAPI*)();
    static Fn real = nullptr;   // looked up once; a race only repeats the lookup
    static bool looked = false;
    if (!looked) {
        real = reinterpret_cast<Fn>(
            reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetTickCount64")));
        looked = true;
    }
    return real ? real() : ::GetTickCount();
}

}  // namespace

#ifdef _WIN64
extern "C" ULONGLONG(WINAPI* lp_tick64_slot)() __asm__("__imp_GetTickCount64");
#else
extern "C" ULONGLONG(WINAPI* lp_tick64_slot)() __asm__("__imp__GetTickCount64@0");
#endif
ULONGLONG(WINAPI* lp_tick64_slot)() = TickCount64;
