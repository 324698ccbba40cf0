// The platform boundary: every Windows call that Setup makes, one virtual operation per call,
// grouped by service. Results, error codes and the thread's last error are Windows' own.
//
//   ISystem      last error, module path, special folders, time, messages, architecture, sleep,
//                ANSI code page conversion, debugger text, starting and waiting for a process
//   IFiles       files, folders, attributes, find, INI (private profile) reads
//   ISpooler     winspool
//   IServices    service control manager
//   IRegistry    registry reads, and a value written
//   IDeviceSetup setupapi, newdev and the configuration manager
//   IDevices     device I/O control on opened device paths
//   IUser        window messages, message boxes, cursor, fonts made known
//
// Two implementations: platform/win32 (the real calls, Windows builds only) and platform/sim
// (a simulated Windows machine for tests, on every build). Code above the boundary receives a
// Platform from its caller and never reaches Windows any other way.
#pragma once

#include "platform/types.h"

namespace plat {

class ISystem {
public:
    virtual ~ISystem() = default;
    virtual DWORD GetLastError() = 0;
    virtual void SetLastError(DWORD error) = 0;
    // Setup's own module path (module handle null).
    virtual DWORD GetModuleFileNameW(char16_t* buffer, DWORD size) = 0;
    // buffer holds MAX_PATH code units.
    virtual BOOL SHGetSpecialFolderPathW(HWND owner, char16_t* buffer, int csidl, BOOL create) = 0;
    virtual void GetLocalTime(SYSTEMTIME* time) = 0;
    virtual DWORD GetTickCount() = 0;
    virtual void Sleep(DWORD milliseconds) = 0;
    // FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS into the caller's buffer.
    virtual DWORD FormatSystemMessageW(DWORD messageId, DWORD languageId, char16_t* buffer, DWORD size) = 0;
    // GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name) != nullptr
    virtual BOOL Kernel32HasExport(const char* name) = 0;
    virtual void GetNativeSystemInfo(SYSTEM_INFO* info) = 0;
    virtual void GetSystemInfo(SYSTEM_INFO* info) = 0;
    virtual BOOL GetVersionExW(OSVERSIONINFOW* info) = 0;
    virtual int MultiByteToWideChar(DWORD codePage, DWORD flags, const char* source, int sourceBytes,
                                    char16_t* target, int targetUnits) = 0;
    virtual int WideCharToMultiByte(DWORD codePage, DWORD flags, const char16_t* source, int sourceUnits,
                                    char* target, int targetBytes, const char* defaultChar,
                                    BOOL* usedDefault) = 0;
    virtual void OutputDebugStringW(const char16_t* text) = 0;
    // CreateProcessW inheriting no handles but the caller's standard ones (when they are
    // inheritable: a script's redirect), the caller's environment and working folder and a
    // start-up record with nothing else set; the caller closes both handles.
    virtual BOOL CreateProcessW(const char16_t* application, char16_t* commandLine, PROCESS_INFORMATION* info) = 0;
    virtual DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) = 0;
    virtual BOOL GetExitCodeProcess(HANDLE process, DWORD* exitCode) = 0;
};

class IFiles {
public:
    virtual ~IFiles() = default;
    virtual HANDLE CreateFileW(const char16_t* name, DWORD access, DWORD share, DWORD disposition,
                               DWORD flags) = 0;
    virtual BOOL ReadFile(HANDLE file, void* buffer, DWORD bytes, DWORD* read) = 0;
    virtual BOOL WriteFile(HANDLE file, const void* buffer, DWORD bytes, DWORD* written) = 0;
    virtual DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method) = 0;
    virtual DWORD GetFileSize(HANDLE file, DWORD* sizeHigh) = 0;
    virtual BOOL CloseHandle(HANDLE handle) = 0;
    virtual BOOL CopyFileW(const char16_t* source, const char16_t* target, BOOL failIfExists) = 0;
    virtual BOOL MoveFileExW(const char16_t* existing, const char16_t* target, DWORD flags) = 0;
    virtual BOOL DeleteFileW(const char16_t* name) = 0;
    virtual DWORD GetFileAttributesW(const char16_t* name) = 0;
    virtual BOOL SetFileAttributesW(const char16_t* name, DWORD attributes) = 0;
    virtual HANDLE FindFirstFileW(const char16_t* pattern, WIN32_FIND_DATAW* data) = 0;
    virtual BOOL FindNextFileW(HANDLE find, WIN32_FIND_DATAW* data) = 0;
    virtual BOOL FindClose(HANDLE find) = 0;
    virtual BOOL CreateDirectoryW(const char16_t* path) = 0;
    virtual unsigned GetPrivateProfileIntW(const char16_t* section, const char16_t* key, int defaultValue,
                                           const char16_t* file) = 0;
    virtual DWORD GetPrivateProfileStringW(const char16_t* section, const char16_t* key,
                                           const char16_t* defaultValue, char16_t* buffer, DWORD size,
                                           const char16_t* file) = 0;
};

class ISpooler {
public:
    virtual ~ISpooler() = default;
    // Server is null (the local machine) wherever Setup calls. A null environment is the calling
    // program's own: "Windows NT x86" for a 32-bit program, also on 64-bit Windows.
    virtual BOOL GetPrinterDriverDirectoryW(const char16_t* server, const char16_t* environment, DWORD level,
                                            BYTE* buffer, DWORD size, DWORD* needed) = 0;
    virtual BOOL OpenPrinterW(const char16_t* name, HANDLE* printer, const PRINTER_DEFAULTSW* defaults) = 0;
    virtual BOOL ClosePrinter(HANDLE printer) = 0;
    virtual BOOL AddPrinterDriverW(const char16_t* server, DWORD level, BYTE* info) = 0;
    virtual HANDLE AddPrinterW(const char16_t* server, DWORD level, BYTE* info) = 0;
    virtual BOOL GetPrinterW(HANDLE printer, DWORD level, BYTE* buffer, DWORD size, DWORD* needed) = 0;
    virtual BOOL SetPrinterW(HANDLE printer, DWORD level, BYTE* info, DWORD command) = 0;
    virtual LONG DocumentPropertiesW(HWND owner, HANDLE printer, const char16_t* deviceName, DEVMODEW* output,
                                     DEVMODEW* input, DWORD mode) = 0;
    virtual BOOL EnumPortsW(const char16_t* server, DWORD level, BYTE* buffer, DWORD size, DWORD* needed,
                            DWORD* returned) = 0;
    // winspool's export by ordinal 204; its result is never used.
    virtual BOOL SetDefaultPrinterW(const char16_t* name) = 0;
    // The local queues (PRINTER_ENUM_LOCAL, name null) at level 4.
    virtual BOOL EnumPrintersW(DWORD flags, const char16_t* name, DWORD level, BYTE* buffer, DWORD size,
                               DWORD* needed, DWORD* returned) = 0;
    // The drivers of an environment at level 6.
    virtual BOOL EnumPrinterDriversW(const char16_t* server, const char16_t* environment, DWORD level, BYTE* buffer,
                                     DWORD size, DWORD* needed, DWORD* returned) = 0;
    // The handle needs administrator access (PRINTER_ALL_ACCESS); it is still closed after.
    virtual BOOL DeletePrinter(HANDLE printer) = 0;
    virtual BOOL DeletePrinterDriverExW(const char16_t* server, const char16_t* environment, const char16_t* driverName,
                                        DWORD deleteFlags, DWORD versionFlag) = 0;
};

class IServices {
public:
    virtual ~IServices() = default;
    virtual SC_HANDLE OpenSCManagerW(const char16_t* machine, const char16_t* database, DWORD access) = 0;
    virtual SC_HANDLE OpenServiceW(SC_HANDLE manager, const char16_t* name, DWORD access) = 0;
    virtual BOOL QueryServiceStatus(SC_HANDLE service, SERVICE_STATUS* status) = 0;
    virtual BOOL ControlService(SC_HANDLE service, DWORD control, SERVICE_STATUS* status) = 0;
    virtual BOOL StartServiceW(SC_HANDLE service, DWORD argc, const char16_t** argv) = 0;
    virtual BOOL CloseServiceHandle(SC_HANDLE handle) = 0;
};

class IRegistry {
public:
    virtual ~IRegistry() = default;
    virtual LONG RegOpenKeyExW(HKEY root, const char16_t* subKey, DWORD options, DWORD access, HKEY* result) = 0;
    virtual LONG RegQueryValueExW(HKEY key, const char16_t* name, DWORD* type, BYTE* data, DWORD* size) = 0;
    virtual LONG RegSetValueExW(HKEY key, const char16_t* name, DWORD type, const BYTE* data, DWORD size) = 0;
    virtual LONG RegCloseKey(HKEY key) = 0;
};

class IDeviceSetup {
public:
    virtual ~IDeviceSetup() = default;
    virtual HDEVINFO SetupDiGetClassDevsW(const GUID* classGuid, const char16_t* enumerator, HWND parent,
                                          DWORD flags) = 0;
    virtual BOOL SetupDiEnumDeviceInfo(HDEVINFO set, DWORD index, SP_DEVINFO_DATA* device) = 0;
    virtual BOOL SetupDiEnumDeviceInterfaces(HDEVINFO set, SP_DEVINFO_DATA* device, const GUID* interfaceGuid,
                                             DWORD index, SP_DEVICE_INTERFACE_DATA* iface) = 0;
    virtual BOOL SetupDiGetDeviceInterfaceDetailW(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* iface,
                                                  SP_DEVICE_INTERFACE_DETAIL_DATA_W* detail, DWORD size,
                                                  DWORD* required, SP_DEVINFO_DATA* device) = 0;
    virtual BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set) = 0;
    virtual BOOL SetupDiGetDeviceRegistryPropertyW(HDEVINFO set, SP_DEVINFO_DATA* device, DWORD property,
                                                   DWORD* type, BYTE* buffer, DWORD size, DWORD* required) = 0;
    virtual BOOL SetupDiClassGuidsFromNameW(const char16_t* className, GUID* guids, DWORD size,
                                            DWORD* required) = 0;
    virtual BOOL SetupDiGetINFClassW(const char16_t* infPath, GUID* classGuid, char16_t* className, DWORD size,
                                     DWORD* required) = 0;
    virtual HDEVINFO SetupDiCreateDeviceInfoList(const GUID* classGuid, HWND parent) = 0;
    virtual BOOL SetupDiCreateDeviceInfoW(HDEVINFO set, const char16_t* name, const GUID* classGuid,
                                          const char16_t* description, HWND parent, DWORD flags,
                                          SP_DEVINFO_DATA* device) = 0;
    virtual BOOL SetupDiSetDeviceRegistryPropertyW(HDEVINFO set, SP_DEVINFO_DATA* device, DWORD property,
                                                   const BYTE* buffer, DWORD size) = 0;
    virtual BOOL SetupDiCallClassInstaller(DWORD function, HDEVINFO set, SP_DEVINFO_DATA* device) = 0;
    virtual BOOL SetupCopyOEMInfW(const char16_t* infPath, const char16_t* mediaLocation, DWORD mediaType,
                                  DWORD copyStyle, char16_t* destination, DWORD destinationSize, DWORD* required,
                                  char16_t** destinationComponent) = 0;
    // infFileName: the published name (oemN.inf) of an INF staged by SetupCopyOEMInfW.
    virtual BOOL SetupUninstallOEMInfW(const char16_t* infFileName, DWORD flags) = 0;
    virtual BOOL UpdateDriverForPlugAndPlayDevicesW(HWND parent, const char16_t* hardwareId,
                                                    const char16_t* infPath, DWORD flags, BOOL* reboot) = 0;
    virtual CONFIGRET CM_Locate_DevNodeW(DEVINST* node, const char16_t* instanceId, DWORD flags) = 0;
    virtual CONFIGRET CM_Reenumerate_DevNode(DEVINST node, DWORD flags) = 0;
    virtual CONFIGRET CM_Get_Child(DEVINST* child, DEVINST node, DWORD flags) = 0;
    virtual CONFIGRET CM_Get_Sibling(DEVINST* sibling, DEVINST node, DWORD flags) = 0;
    virtual CONFIGRET CM_Get_Device_ID_Size(DWORD* length, DEVINST node, DWORD flags) = 0;
    virtual CONFIGRET CM_Get_Device_IDW(DEVINST node, char16_t* buffer, DWORD length, DWORD flags) = 0;
};

class IDevices {
public:
    virtual ~IDevices() = default;
    // Handles come from IFiles::CreateFileW on a device path (\\?\usb#... or \\.\LPT1).
    virtual BOOL DeviceIoControl(HANDLE device, DWORD code, const void* input, DWORD inputSize, void* output,
                                 DWORD outputSize, DWORD* returned) = 0;
};

// A cursor or resource name given as a number (MAKEINTRESOURCE).
inline const char16_t* IntResource(uintptr_t id) { return reinterpret_cast<const char16_t*>(id); }
inline const char16_t* const IDC_WAIT = IntResource(32514);

class IUser {
public:
    virtual ~IUser() = default;
    virtual LRESULT SendMessageW(HWND window, DWORD message, WPARAM wParam, LPARAM lParam) = 0;
    virtual LRESULT SendMessageTimeoutW(HWND window, DWORD message, WPARAM wParam, LPARAM lParam, DWORD flags,
                                        DWORD timeout, ULONG_PTR* result) = 0;
    virtual int MessageBoxW(HWND owner, const char16_t* text, const char16_t* caption, DWORD type) = 0;
    virtual HANDLE LoadCursorW(const char16_t* name) = 0;   // system cursors only
    virtual HANDLE SetCursor(HANDLE cursor) = 0;
    virtual int AddFontResourceW(const char16_t* fileName) = 0;   // gdi32: the font usable at once
};

// What code above the boundary is handed. Each service may come from a different
// implementation (a test program can pair the simulated machine with real windows).
struct Platform {
    ISystem& sys;
    IFiles& files;
    ISpooler& spooler;
    IServices& services;
    IRegistry& registry;
    IDeviceSetup& devsetup;
    IDevices& devices;
    IUser& user;
};

}  // namespace plat
