// Each operation forwards to its Windows call. Records already have Windows' layout (checked
// below), so buffers pass through; only text pointers change type (char16_t and wchar_t are the
// same 16-bit units here).
#include "win32/win32_platform.h"

// After the boundary's headers: from here on the Windows macros are the names in use.
#include <windows.h>
#include <cfgmgr32.h>
#include <newdev.h>
#include <setupapi.h>
#include <shlobj.h>
#include <winspool.h>

#include <cstddef>

namespace win32 {
namespace {

#define LP_SAME_LAYOUT(ours, theirs)                                      \
    static_assert(sizeof(plat::ours) == sizeof(theirs), #ours " size");   \
    static_assert(alignof(plat::ours) == alignof(theirs), #ours " alignment")
LP_SAME_LAYOUT(WIN32_FIND_DATAW, ::WIN32_FIND_DATAW);
LP_SAME_LAYOUT(SYSTEMTIME, ::SYSTEMTIME);
LP_SAME_LAYOUT(SYSTEM_INFO, ::SYSTEM_INFO);
LP_SAME_LAYOUT(OSVERSIONINFOW, ::OSVERSIONINFOW);
LP_SAME_LAYOUT(DRIVER_INFO_6W, ::DRIVER_INFO_6W);
LP_SAME_LAYOUT(DEVMODEW, ::DEVMODEW);
LP_SAME_LAYOUT(PRINTER_INFO_2W, ::PRINTER_INFO_2W);
LP_SAME_LAYOUT(PRINTER_DEFAULTSW, ::PRINTER_DEFAULTSW);
LP_SAME_LAYOUT(PRINTER_INFO_4W, ::PRINTER_INFO_4W);
LP_SAME_LAYOUT(PORT_INFO_1W, ::PORT_INFO_1W);
LP_SAME_LAYOUT(SERVICE_STATUS, ::SERVICE_STATUS);
LP_SAME_LAYOUT(GUID, ::GUID);
LP_SAME_LAYOUT(SP_DEVINFO_DATA, ::SP_DEVINFO_DATA);
LP_SAME_LAYOUT(SP_DEVICE_INTERFACE_DATA, ::SP_DEVICE_INTERFACE_DATA);
LP_SAME_LAYOUT(PROCESS_INFORMATION, ::PROCESS_INFORMATION);
static_assert(offsetof(plat::DEVMODEW, dmFields) == offsetof(::DEVMODEW, dmFields));
static_assert(offsetof(plat::PRINTER_INFO_2W, Attributes) == offsetof(::PRINTER_INFO_2W, Attributes));
static_assert(offsetof(plat::DRIVER_INFO_6W, pszMfgName) == offsetof(::DRIVER_INFO_6W, pszMfgName));
static_assert(offsetof(plat::SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) ==
              offsetof(::SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath));
static_assert(plat::kInterfaceDetailCbSize == sizeof(::SP_DEVICE_INTERFACE_DETAIL_DATA_W));

// The device-setup and spooler DLLs are not among the system's known DLLs: linked statically, an
// elevated Setup would load a planted copy from its own folder. They are loaded from the system
// folder only, at first use.
void* SystemProc(const wchar_t* dll, const char* name) {
    HMODULE module = ::LoadLibraryExW(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!module) {   // a system without the search flags: the same folder, named in full
        wchar_t path[MAX_PATH + 32] = {};
        UINT n = ::GetSystemDirectoryW(path, MAX_PATH);
        if (n > 0 && n < MAX_PATH && ::wcslen(dll) < 30) {
            ::wcscat(path, L"\\");
            ::wcscat(path, dll);
            module = ::LoadLibraryW(path);
        }
    }
    void* proc = module ? reinterpret_cast<void*>(::GetProcAddress(module, name)) : nullptr;
    if (!proc) ::FatalAppExitW(0, L"A system library of Windows is missing.");
    return proc;
}
#define SYS(dll, fn) (reinterpret_cast<decltype(&::fn)>(SystemProc(dll, #fn)))
#define SPOOL(fn) SYS(L"winspool.drv", fn)
#define SETUPAPI(fn) SYS(L"setupapi.dll", fn)
#define CFGMGR(fn) SYS(L"cfgmgr32.dll", fn)

inline LPCWSTR W(const char16_t* s) { return reinterpret_cast<LPCWSTR>(s); }
inline LPWSTR W(char16_t* s) { return reinterpret_cast<LPWSTR>(s); }
template <typename T, typename U> inline T* As(U* p) { return reinterpret_cast<T*>(p); }
template <typename T, typename U> inline const T* As(const U* p) { return reinterpret_cast<const T*>(p); }

class Real final : public plat::ISystem,
                   public plat::IFiles,
                   public plat::ISpooler,
                   public plat::IServices,
                   public plat::IRegistry,
                   public plat::IDeviceSetup,
                   public plat::IDevices,
                   public plat::IUser {
public:
    // ISystem
    plat::DWORD GetLastError() override { return ::GetLastError(); }
    void SetLastError(plat::DWORD e) override { ::SetLastError(e); }
    plat::DWORD GetModuleFileNameW(char16_t* b, plat::DWORD n) override { return ::GetModuleFileNameW(nullptr, W(b), n); }
    plat::BOOL SHGetSpecialFolderPathW(plat::HWND o, char16_t* b, int csidl, plat::BOOL c) override {
        return ::SHGetSpecialFolderPathW(static_cast<HWND>(o), W(b), csidl, c);
    }
    void GetLocalTime(plat::SYSTEMTIME* t) override { ::GetLocalTime(As<::SYSTEMTIME>(t)); }
    plat::DWORD GetTickCount() override { return ::GetTickCount(); }
    void Sleep(plat::DWORD ms) override { ::Sleep(ms); }
    plat::DWORD FormatSystemMessageW(plat::DWORD id, plat::DWORD lang, char16_t* b, plat::DWORD n) override {
        return ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, id, lang, W(b), n,
                                nullptr);
    }
    plat::BOOL Kernel32HasExport(const char* name) override {
        HMODULE k = ::GetModuleHandleW(L"kernel32.dll");
        return k && ::GetProcAddress(k, name) != nullptr;
    }
    void GetNativeSystemInfo(plat::SYSTEM_INFO* i) override {
        using Fn = void(WINAPI*)(LPSYSTEM_INFO);
        auto fn = reinterpret_cast<Fn>(
            reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetNativeSystemInfo")));
        if (fn) fn(As<::SYSTEM_INFO>(i));
        else ::GetSystemInfo(As<::SYSTEM_INFO>(i));
    }
    void GetSystemInfo(plat::SYSTEM_INFO* i) override { ::GetSystemInfo(As<::SYSTEM_INFO>(i)); }
    plat::BOOL GetVersionExW(plat::OSVERSIONINFOW* i) override {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        return ::GetVersionExW(As<::OSVERSIONINFOW>(i));
#pragma GCC diagnostic pop
    }
    int MultiByteToWideChar(plat::DWORD cp, plat::DWORD f, const char* s, int n, char16_t* t, int tn) override {
        return ::MultiByteToWideChar(cp, f, s, n, W(t), tn);
    }
    int WideCharToMultiByte(plat::DWORD cp, plat::DWORD f, const char16_t* s, int n, char* t, int tn, const char* d,
                            plat::BOOL* u) override {
        return ::WideCharToMultiByte(cp, f, W(s), n, t, tn, d, As<BOOL>(u));
    }
    void OutputDebugStringW(const char16_t* t) override { ::OutputDebugStringW(W(t)); }
    plat::BOOL CreateProcessW(const char16_t* app, char16_t* cmd, plat::PROCESS_INFORMATION* info) override {
        STARTUPINFOW start{};
        start.cb = sizeof start;
        // A script's redirected standard error reaches the twin too. Setup makes no inheritable
        // handle itself, so inheriting passes on only what its own starter handed it.
        HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
        DWORD flags = 0;
        BOOL inherit = FALSE;
        if (error != nullptr && error != INVALID_HANDLE_VALUE && ::GetHandleInformation(error, &flags) &&
            (flags & HANDLE_FLAG_INHERIT)) {
            start.dwFlags = STARTF_USESTDHANDLES;
            start.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
            start.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
            start.hStdError = error;
            inherit = TRUE;
        }
        return ::CreateProcessW(W(app), W(cmd), nullptr, nullptr, inherit, 0, nullptr, nullptr, &start,
                                As<::PROCESS_INFORMATION>(info));
    }
    plat::DWORD WaitForSingleObject(plat::HANDLE h, plat::DWORD ms) override { return ::WaitForSingleObject(h, ms); }
    plat::BOOL GetExitCodeProcess(plat::HANDLE h, plat::DWORD* code) override {
        return ::GetExitCodeProcess(h, As<DWORD>(code));
    }

    // IFiles
    plat::HANDLE CreateFileW(const char16_t* n, plat::DWORD a, plat::DWORD s, plat::DWORD d, plat::DWORD f) override {
        return ::CreateFileW(W(n), a, s, nullptr, d, f, nullptr);
    }
    plat::BOOL ReadFile(plat::HANDLE h, void* b, plat::DWORD n, plat::DWORD* r) override {
        return ::ReadFile(h, b, n, As<DWORD>(r), nullptr);
    }
    plat::BOOL WriteFile(plat::HANDLE h, const void* b, plat::DWORD n, plat::DWORD* w) override {
        return ::WriteFile(h, b, n, As<DWORD>(w), nullptr);
    }
    plat::DWORD SetFilePointer(plat::HANDLE h, plat::LONG d, plat::LONG* hi, plat::DWORD m) override {
        return ::SetFilePointer(h, d, As<LONG>(hi), m);
    }
    plat::DWORD GetFileSize(plat::HANDLE h, plat::DWORD* hi) override { return ::GetFileSize(h, As<DWORD>(hi)); }
    plat::BOOL CloseHandle(plat::HANDLE h) override { return ::CloseHandle(h); }
    plat::BOOL CopyFileW(const char16_t* s, const char16_t* t, plat::BOOL f) override { return ::CopyFileW(W(s), W(t), f); }
    plat::BOOL MoveFileExW(const char16_t* e, const char16_t* t, plat::DWORD f) override {
        return ::MoveFileExW(W(e), W(t), f);
    }
    plat::BOOL DeleteFileW(const char16_t* n) override { return ::DeleteFileW(W(n)); }
    plat::DWORD GetFileAttributesW(const char16_t* n) override { return ::GetFileAttributesW(W(n)); }
    plat::BOOL SetFileAttributesW(const char16_t* n, plat::DWORD a) override { return ::SetFileAttributesW(W(n), a); }
    plat::HANDLE FindFirstFileW(const char16_t* p, plat::WIN32_FIND_DATAW* d) override {
        return ::FindFirstFileW(W(p), As<::WIN32_FIND_DATAW>(d));
    }
    plat::BOOL FindNextFileW(plat::HANDLE h, plat::WIN32_FIND_DATAW* d) override {
        return ::FindNextFileW(h, As<::WIN32_FIND_DATAW>(d));
    }
    plat::BOOL FindClose(plat::HANDLE h) override { return ::FindClose(h); }
    plat::BOOL CreateDirectoryW(const char16_t* p) override { return ::CreateDirectoryW(W(p), nullptr); }
    unsigned GetPrivateProfileIntW(const char16_t* s, const char16_t* k, int d, const char16_t* f) override {
        return ::GetPrivateProfileIntW(W(s), W(k), d, W(f));
    }
    plat::DWORD GetPrivateProfileStringW(const char16_t* s, const char16_t* k, const char16_t* d, char16_t* b,
                                         plat::DWORD n, const char16_t* f) override {
        return ::GetPrivateProfileStringW(W(s), W(k), W(d), W(b), n, W(f));
    }

    // ISpooler
    plat::BOOL GetPrinterDriverDirectoryW(const char16_t* s, const char16_t* e, plat::DWORD l, plat::BYTE* b,
                                          plat::DWORD n, plat::DWORD* need) override {
        return SPOOL(GetPrinterDriverDirectoryW)(const_cast<LPWSTR>(W(s)), const_cast<LPWSTR>(W(e)), l, b, n, As<DWORD>(need));
    }
    plat::BOOL OpenPrinterW(const char16_t* n, plat::HANDLE* h, const plat::PRINTER_DEFAULTSW* d) override {
        return SPOOL(OpenPrinterW)(const_cast<LPWSTR>(W(n)), h, const_cast<::PRINTER_DEFAULTSW*>(As<::PRINTER_DEFAULTSW>(d)));
    }
    plat::BOOL ClosePrinter(plat::HANDLE h) override { return SPOOL(ClosePrinter)(h); }
    plat::BOOL AddPrinterDriverW(const char16_t* s, plat::DWORD l, plat::BYTE* i) override {
        return SPOOL(AddPrinterDriverW)(const_cast<LPWSTR>(W(s)), l, i);
    }
    plat::HANDLE AddPrinterW(const char16_t* s, plat::DWORD l, plat::BYTE* i) override {
        return SPOOL(AddPrinterW)(const_cast<LPWSTR>(W(s)), l, i);
    }
    plat::BOOL GetPrinterW(plat::HANDLE h, plat::DWORD l, plat::BYTE* b, plat::DWORD n, plat::DWORD* need) override {
        return SPOOL(GetPrinterW)(h, l, b, n, As<DWORD>(need));
    }
    plat::BOOL SetPrinterW(plat::HANDLE h, plat::DWORD l, plat::BYTE* i, plat::DWORD c) override {
        return SPOOL(SetPrinterW)(h, l, i, c);
    }
    plat::LONG DocumentPropertiesW(plat::HWND o, plat::HANDLE h, const char16_t* n, plat::DEVMODEW* out,
                                   plat::DEVMODEW* in, plat::DWORD m) override {
        return SPOOL(DocumentPropertiesW)(static_cast<HWND>(o), h, const_cast<LPWSTR>(W(n)), As<::DEVMODEW>(out),
                                     As<::DEVMODEW>(in), m);
    }
    plat::BOOL EnumPortsW(const char16_t* s, plat::DWORD l, plat::BYTE* b, plat::DWORD n, plat::DWORD* need,
                          plat::DWORD* ret) override {
        return SPOOL(EnumPortsW)(const_cast<LPWSTR>(W(s)), l, b, n, As<DWORD>(need), As<DWORD>(ret));
    }
    plat::BOOL SetDefaultPrinterW(const char16_t* n) override {
        // Looked up by ordinal, as the shipped program has always called it.
        using Fn = BOOL(WINAPI*)(LPCWSTR);
        return reinterpret_cast<Fn>(SystemProc(L"winspool.drv", MAKEINTRESOURCEA(204)))(W(n));
    }
    plat::BOOL EnumPrintersW(plat::DWORD f, const char16_t* n, plat::DWORD l, plat::BYTE* b, plat::DWORD s,
                             plat::DWORD* need, plat::DWORD* ret) override {
        return SPOOL(EnumPrintersW)(f, const_cast<LPWSTR>(W(n)), l, b, s, As<DWORD>(need), As<DWORD>(ret));
    }
    plat::BOOL EnumPrinterDriversW(const char16_t* srv, const char16_t* e, plat::DWORD l, plat::BYTE* b, plat::DWORD s,
                                   plat::DWORD* need, plat::DWORD* ret) override {
        return SPOOL(EnumPrinterDriversW)(const_cast<LPWSTR>(W(srv)), const_cast<LPWSTR>(W(e)), l, b, s, As<DWORD>(need),
                                          As<DWORD>(ret));
    }
    plat::BOOL DeletePrinter(plat::HANDLE h) override { return SPOOL(DeletePrinter)(h); }
    plat::BOOL DeletePrinterDriverExW(const char16_t* srv, const char16_t* e, const char16_t* n, plat::DWORD f,
                                      plat::DWORD v) override {
        return SPOOL(DeletePrinterDriverExW)(const_cast<LPWSTR>(W(srv)), const_cast<LPWSTR>(W(e)),
                                             const_cast<LPWSTR>(W(n)), f, v);
    }

    // IServices
    plat::SC_HANDLE OpenSCManagerW(const char16_t* m, const char16_t* d, plat::DWORD a) override {
        return ::OpenSCManagerW(W(m), W(d), a);
    }
    plat::SC_HANDLE OpenServiceW(plat::SC_HANDLE m, const char16_t* n, plat::DWORD a) override {
        return ::OpenServiceW(static_cast<SC_HANDLE>(m), W(n), a);
    }
    plat::BOOL QueryServiceStatus(plat::SC_HANDLE s, plat::SERVICE_STATUS* st) override {
        return ::QueryServiceStatus(static_cast<SC_HANDLE>(s), As<::SERVICE_STATUS>(st));
    }
    plat::BOOL ControlService(plat::SC_HANDLE s, plat::DWORD c, plat::SERVICE_STATUS* st) override {
        return ::ControlService(static_cast<SC_HANDLE>(s), c, As<::SERVICE_STATUS>(st));
    }
    plat::BOOL StartServiceW(plat::SC_HANDLE s, plat::DWORD argc, const char16_t** argv) override {
        return ::StartServiceW(static_cast<SC_HANDLE>(s), argc, reinterpret_cast<LPCWSTR*>(argv));
    }
    plat::BOOL CloseServiceHandle(plat::SC_HANDLE h) override { return ::CloseServiceHandle(static_cast<SC_HANDLE>(h)); }

    // IRegistry
    plat::LONG RegOpenKeyExW(plat::HKEY r, const char16_t* k, plat::DWORD o, plat::DWORD a, plat::HKEY* out) override {
        return ::RegOpenKeyExW(static_cast<HKEY>(r), W(k), o, a, As<HKEY>(out));
    }
    plat::LONG RegQueryValueExW(plat::HKEY k, const char16_t* n, plat::DWORD* t, plat::BYTE* d, plat::DWORD* s) override {
        return ::RegQueryValueExW(static_cast<HKEY>(k), W(n), nullptr, As<DWORD>(t), d, As<DWORD>(s));
    }
    plat::LONG RegSetValueExW(plat::HKEY k, const char16_t* n, plat::DWORD t, const plat::BYTE* d, plat::DWORD s) override {
        return ::RegSetValueExW(static_cast<HKEY>(k), W(n), 0, t, d, s);
    }
    plat::LONG RegCloseKey(plat::HKEY k) override { return ::RegCloseKey(static_cast<HKEY>(k)); }

    // IDeviceSetup
    plat::HDEVINFO SetupDiGetClassDevsW(const plat::GUID* g, const char16_t* e, plat::HWND p, plat::DWORD f) override {
        return SETUPAPI(SetupDiGetClassDevsW)(As<::GUID>(g), W(e), static_cast<HWND>(p), f);
    }
    plat::BOOL SetupDiEnumDeviceInfo(plat::HDEVINFO s, plat::DWORD i, plat::SP_DEVINFO_DATA* d) override {
        return SETUPAPI(SetupDiEnumDeviceInfo)(s, i, As<::SP_DEVINFO_DATA>(d));
    }
    plat::BOOL SetupDiEnumDeviceInterfaces(plat::HDEVINFO s, plat::SP_DEVINFO_DATA* d, const plat::GUID* g,
                                           plat::DWORD i, plat::SP_DEVICE_INTERFACE_DATA* f) override {
        return SETUPAPI(SetupDiEnumDeviceInterfaces)(s, As<::SP_DEVINFO_DATA>(d), As<::GUID>(g), i,
                                             As<::SP_DEVICE_INTERFACE_DATA>(f));
    }
    plat::BOOL SetupDiGetDeviceInterfaceDetailW(plat::HDEVINFO s, plat::SP_DEVICE_INTERFACE_DATA* f,
                                                plat::SP_DEVICE_INTERFACE_DETAIL_DATA_W* d, plat::DWORD n,
                                                plat::DWORD* r, plat::SP_DEVINFO_DATA* dev) override {
        return SETUPAPI(SetupDiGetDeviceInterfaceDetailW)(s, As<::SP_DEVICE_INTERFACE_DATA>(f),
                                                  As<::SP_DEVICE_INTERFACE_DETAIL_DATA_W>(d), n, As<DWORD>(r),
                                                  As<::SP_DEVINFO_DATA>(dev));
    }
    plat::BOOL SetupDiDestroyDeviceInfoList(plat::HDEVINFO s) override { return SETUPAPI(SetupDiDestroyDeviceInfoList)(s); }
    plat::BOOL SetupDiGetDeviceRegistryPropertyW(plat::HDEVINFO s, plat::SP_DEVINFO_DATA* d, plat::DWORD p,
                                                 plat::DWORD* t, plat::BYTE* b, plat::DWORD n, plat::DWORD* r) override {
        return SETUPAPI(SetupDiGetDeviceRegistryPropertyW)(s, As<::SP_DEVINFO_DATA>(d), p, As<DWORD>(t), b, n, As<DWORD>(r));
    }
    plat::BOOL SetupDiClassGuidsFromNameW(const char16_t* n, plat::GUID* g, plat::DWORD s, plat::DWORD* r) override {
        return SETUPAPI(SetupDiClassGuidsFromNameW)(W(n), As<::GUID>(g), s, As<DWORD>(r));
    }
    plat::BOOL SetupDiGetINFClassW(const char16_t* i, plat::GUID* g, char16_t* n, plat::DWORD s, plat::DWORD* r) override {
        return SETUPAPI(SetupDiGetINFClassW)(W(i), As<::GUID>(g), W(n), s, As<DWORD>(r));
    }
    plat::HDEVINFO SetupDiCreateDeviceInfoList(const plat::GUID* g, plat::HWND p) override {
        return SETUPAPI(SetupDiCreateDeviceInfoList)(As<::GUID>(g), static_cast<HWND>(p));
    }
    plat::BOOL SetupDiCreateDeviceInfoW(plat::HDEVINFO s, const char16_t* n, const plat::GUID* g, const char16_t* d,
                                        plat::HWND p, plat::DWORD f, plat::SP_DEVINFO_DATA* dev) override {
        return SETUPAPI(SetupDiCreateDeviceInfoW)(s, W(n), As<::GUID>(g), W(d), static_cast<HWND>(p), f,
                                          As<::SP_DEVINFO_DATA>(dev));
    }
    plat::BOOL SetupDiSetDeviceRegistryPropertyW(plat::HDEVINFO s, plat::SP_DEVINFO_DATA* d, plat::DWORD p,
                                                 const plat::BYTE* b, plat::DWORD n) override {
        return SETUPAPI(SetupDiSetDeviceRegistryPropertyW)(s, As<::SP_DEVINFO_DATA>(d), p, b, n);
    }
    plat::BOOL SetupDiCallClassInstaller(plat::DWORD f, plat::HDEVINFO s, plat::SP_DEVINFO_DATA* d) override {
        return SETUPAPI(SetupDiCallClassInstaller)(f, s, As<::SP_DEVINFO_DATA>(d));
    }
    plat::BOOL SetupUninstallOEMInfW(const char16_t* i, plat::DWORD f) override {
        return SETUPAPI(SetupUninstallOEMInfW)(W(i), f, nullptr);
    }
    plat::BOOL SetupCopyOEMInfW(const char16_t* i, const char16_t* m, plat::DWORD t, plat::DWORD c, char16_t* d,
                                plat::DWORD n, plat::DWORD* r, char16_t** comp) override {
        return SETUPAPI(SetupCopyOEMInfW)(W(i), W(m), t, c, W(d), n, As<DWORD>(r), reinterpret_cast<PWSTR*>(comp));
    }
    plat::BOOL UpdateDriverForPlugAndPlayDevicesW(plat::HWND p, const char16_t* h, const char16_t* i, plat::DWORD f,
                                                  plat::BOOL* reboot) override {
        return SYS(L"newdev.dll", UpdateDriverForPlugAndPlayDevicesW)(static_cast<HWND>(p), W(h), W(i), f, As<BOOL>(reboot));
    }
    plat::CONFIGRET CM_Locate_DevNodeW(plat::DEVINST* n, const char16_t* id, plat::DWORD f) override {
        return CFGMGR(CM_Locate_DevNodeW)(As<DEVINST>(n), const_cast<DEVINSTID_W>(W(id)), f);
    }
    plat::CONFIGRET CM_Reenumerate_DevNode(plat::DEVINST n, plat::DWORD f) override { return CFGMGR(CM_Reenumerate_DevNode)(n, f); }
    plat::CONFIGRET CM_Get_Child(plat::DEVINST* c, plat::DEVINST n, plat::DWORD f) override {
        return CFGMGR(CM_Get_Child)(As<DEVINST>(c), n, f);
    }
    plat::CONFIGRET CM_Get_Sibling(plat::DEVINST* s, plat::DEVINST n, plat::DWORD f) override {
        return CFGMGR(CM_Get_Sibling)(As<DEVINST>(s), n, f);
    }
    plat::CONFIGRET CM_Get_Device_ID_Size(plat::DWORD* l, plat::DEVINST n, plat::DWORD f) override {
        return CFGMGR(CM_Get_Device_ID_Size)(As<ULONG>(l), n, f);
    }
    plat::CONFIGRET CM_Get_Device_IDW(plat::DEVINST n, char16_t* b, plat::DWORD l, plat::DWORD f) override {
        return CFGMGR(CM_Get_Device_IDW)(n, W(b), l, f);
    }

    // IDevices
    plat::BOOL DeviceIoControl(plat::HANDLE d, plat::DWORD c, const void* in, plat::DWORD inN, void* out,
                               plat::DWORD outN, plat::DWORD* r) override {
        return ::DeviceIoControl(d, c, const_cast<void*>(in), inN, out, outN, As<DWORD>(r), nullptr);
    }

    // IUser
    plat::LRESULT SendMessageW(plat::HWND w, plat::DWORD m, plat::WPARAM wp, plat::LPARAM lp) override {
        return ::SendMessageW(static_cast<HWND>(w), m, wp, lp);
    }
    plat::LRESULT SendMessageTimeoutW(plat::HWND w, plat::DWORD m, plat::WPARAM wp, plat::LPARAM lp, plat::DWORD f,
                                      plat::DWORD t, plat::ULONG_PTR* r) override {
        return ::SendMessageTimeoutW(static_cast<HWND>(w), m, wp, lp, f, t, As<DWORD_PTR>(r));
    }
    int MessageBoxW(plat::HWND o, const char16_t* t, const char16_t* c, plat::DWORD type) override {
        return ::MessageBoxW(static_cast<HWND>(o), W(t), W(c), type);
    }
    plat::HANDLE LoadCursorW(const char16_t* n) override { return ::LoadCursorW(nullptr, W(n)); }
    plat::HANDLE SetCursor(plat::HANDLE c) override { return ::SetCursor(static_cast<HCURSOR>(c)); }
    int AddFontResourceW(const char16_t* n) override { return ::AddFontResourceW(W(n)); }
};

}  // namespace

plat::Platform RealPlatform() {
    static Real real;
    return plat::Platform{real, real, real, real, real, real, real, real};
}

bool RunningOnWine() {
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace win32
