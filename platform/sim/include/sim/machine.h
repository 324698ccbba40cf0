// A simulated Windows machine: every service of the platform boundary, in memory, with files
// kept under a host folder. Any operation can be made to fail with a chosen error code, by
// operation name and occurrence. Thread-safe: one lock serialises all calls.
//
// Each service's behaviour lives in its own file (files.cpp, system.cpp, spooler.cpp,
// services.cpp, registry.cpp, devsetup.cpp, devinstall.cpp, ini.cpp, user.cpp); its state is a
// public member, filled by tests through the builders below or directly.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "sim/devices_state.h"
#include "sim/services_state.h"
#include "sim/spooler_state.h"

namespace sim {

struct SystemConfig {
    std::u16string modulePath = u"C:\\Delivery\\Setup.exe";
    std::u16string documentsFolder = u"C:\\Users\\user\\Documents";
    std::u16string fontsFolder = u"C:\\Windows\\Fonts";
    std::u16string windowsFolder = u"C:\\Windows";
    plat::WORD nativeArchitecture = plat::PROCESSOR_ARCHITECTURE_AMD64;
    plat::WORD processArchitecture = plat::PROCESSOR_ARCHITECTURE_INTEL;   // the shipped Setup is 32-bit
    bool hasGetNativeSystemInfo = true;
    plat::DWORD platformId = plat::VER_PLATFORM_WIN32_NT;
    plat::DWORD codePage = 936;   // a Chinese (Simplified) Windows
    plat::SYSTEMTIME startTime = {2016, 3, 1, 7, 9, 5, 12, 48};
    // Programs that CreateProcessW starts, by upper-case path: the exit code each ends with.
    // Any other existing file that begins with "MZ" runs and exits with 0.
    std::map<std::u16string, plat::DWORD> exitCodes;
};

// One scripted failure: the `occurrence`-th call of `op` (1-based) and the `times` - 1 calls after
// it fail with `error`; `times` 0 means every call from that one on.
struct Fault {
    std::string op;
    plat::DWORD error;
    int occurrence = 1;
    int times = 1;
};

class Machine final : public plat::ISystem,
                      public plat::IFiles,
                      public plat::ISpooler,
                      public plat::IServices,
                      public plat::IRegistry,
                      public plat::IDeviceSetup,
                      public plat::IDevices,
                      public plat::IUser {
public:
    // Files of drive X: live under hostRoot/X/.
    explicit Machine(std::filesystem::path hostRoot);
    ~Machine() override;
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    plat::Platform platform();

    // ---- fixtures
    void AddFile(const std::u16string& path, std::string_view bytes, plat::DWORD attributes = plat::FILE_ATTRIBUTE_ARCHIVE);
    void AddDirectory(const std::u16string& path);
    std::optional<std::string> FileBytes(const std::u16string& path);
    bool Exists(const std::u16string& path);
    std::filesystem::path HostPath(const std::u16string& path);   // where the file is or would be
    // The file refuses to be overwritten or opened for writing with `error` (32 or 5) while the
    // Spooler runs, as a driver file the spooler has loaded does.
    void LockWhileSpoolerRuns(const std::u16string& path, plat::DWORD error = plat::ERROR_SHARING_VIOLATION);

    // ---- faults and the record of calls
    void FailCall(const std::string& op, plat::DWORD error, int occurrence = 1, int times = 1);
    int CallCount(const std::string& op);
    std::vector<std::string> Events();   // a line per notable event, in order
    void ClearEvents();
    std::function<void(const std::string&)> onEvent;   // called under the machine's lock

    uint64_t NowMs();   // the virtual clock: Sleep advances it, nothing else takes real time

    // The machine's processor and the running program's (x86 on x64 is WOW64). The spooler's
    // environments and driver directories follow the machine.
    void SetArchitecture(plat::WORD native, plat::WORD process);
    bool Wow64();                         // a 32-bit program on 64-bit Windows
    std::u16string ProcessEnvironment();  // the spooler environment of the running program

    SystemConfig system;
    SpoolerState spooler;
    ServicesState services;
    RegistryState registry;
    DeviceState devices;

    // IUser: window messages go to this handler (tests and the scenario runner install one);
    // message boxes are recorded as events and answered with `messageBoxAnswer`.
    std::function<plat::LRESULT(plat::HWND, plat::DWORD, plat::WPARAM, plat::LPARAM)> windowProc;
    int messageBoxAnswer = plat::IDOK;
    // A CopyFileW that a fault fails leaves this many bytes of its source in the target, as a disk
    // that fills up or media taken out do (an existing target is overwritten that far); nullopt:
    // the target is left as it was.
    std::optional<size_t> failedCopyWrites;

    // ---- ISystem
    plat::DWORD GetLastError() override;
    void SetLastError(plat::DWORD error) override;
    plat::DWORD GetModuleFileNameW(char16_t* buffer, plat::DWORD size) override;
    plat::BOOL SHGetSpecialFolderPathW(plat::HWND owner, char16_t* buffer, int csidl, plat::BOOL create) override;
    void GetLocalTime(plat::SYSTEMTIME* time) override;
    plat::DWORD GetTickCount() override;
    void Sleep(plat::DWORD milliseconds) override;
    plat::DWORD FormatSystemMessageW(plat::DWORD messageId, plat::DWORD languageId, char16_t* buffer,
                                     plat::DWORD size) override;
    plat::BOOL Kernel32HasExport(const char* name) override;
    void GetNativeSystemInfo(plat::SYSTEM_INFO* info) override;
    void GetSystemInfo(plat::SYSTEM_INFO* info) override;
    plat::BOOL GetVersionExW(plat::OSVERSIONINFOW* info) override;
    int MultiByteToWideChar(plat::DWORD codePage, plat::DWORD flags, const char* source, int sourceBytes,
                            char16_t* target, int targetUnits) override;
    int WideCharToMultiByte(plat::DWORD codePage, plat::DWORD flags, const char16_t* source, int sourceUnits,
                            char* target, int targetBytes, const char* defaultChar,
                            plat::BOOL* usedDefault) override;
    void OutputDebugStringW(const char16_t* text) override;
    plat::BOOL CreateProcessW(const char16_t* application, char16_t* commandLine,
                              plat::PROCESS_INFORMATION* info) override;
    plat::DWORD WaitForSingleObject(plat::HANDLE handle, plat::DWORD milliseconds) override;
    plat::BOOL GetExitCodeProcess(plat::HANDLE process, plat::DWORD* exitCode) override;

    // ---- IFiles
    plat::HANDLE CreateFileW(const char16_t* name, plat::DWORD access, plat::DWORD share, plat::DWORD disposition,
                             plat::DWORD flags) override;
    plat::BOOL ReadFile(plat::HANDLE file, void* buffer, plat::DWORD bytes, plat::DWORD* read) override;
    plat::BOOL WriteFile(plat::HANDLE file, const void* buffer, plat::DWORD bytes, plat::DWORD* written) override;
    plat::DWORD SetFilePointer(plat::HANDLE file, plat::LONG distance, plat::LONG* distanceHigh,
                               plat::DWORD method) override;
    plat::DWORD GetFileSize(plat::HANDLE file, plat::DWORD* sizeHigh) override;
    plat::BOOL CloseHandle(plat::HANDLE handle) override;
    plat::BOOL CopyFileW(const char16_t* source, const char16_t* target, plat::BOOL failIfExists) override;
    plat::BOOL MoveFileExW(const char16_t* existing, const char16_t* target, plat::DWORD flags) override;
    plat::BOOL DeleteFileW(const char16_t* name) override;
    plat::DWORD GetFileAttributesW(const char16_t* name) override;
    plat::BOOL SetFileAttributesW(const char16_t* name, plat::DWORD attributes) override;
    plat::HANDLE FindFirstFileW(const char16_t* pattern, plat::WIN32_FIND_DATAW* data) override;
    plat::BOOL FindNextFileW(plat::HANDLE find, plat::WIN32_FIND_DATAW* data) override;
    plat::BOOL FindClose(plat::HANDLE find) override;
    plat::BOOL CreateDirectoryW(const char16_t* path) override;
    unsigned GetPrivateProfileIntW(const char16_t* section, const char16_t* key, int defaultValue,
                                   const char16_t* file) override;
    plat::DWORD GetPrivateProfileStringW(const char16_t* section, const char16_t* key, const char16_t* defaultValue,
                                         char16_t* buffer, plat::DWORD size, const char16_t* file) override;

    // ---- ISpooler
    plat::BOOL GetPrinterDriverDirectoryW(const char16_t* server, const char16_t* environment, plat::DWORD level,
                                          plat::BYTE* buffer, plat::DWORD size, plat::DWORD* needed) override;
    plat::BOOL OpenPrinterW(const char16_t* name, plat::HANDLE* printer, const plat::PRINTER_DEFAULTSW* defaults) override;
    plat::BOOL ClosePrinter(plat::HANDLE printer) override;
    plat::BOOL AddPrinterDriverW(const char16_t* server, plat::DWORD level, plat::BYTE* info) override;
    plat::HANDLE AddPrinterW(const char16_t* server, plat::DWORD level, plat::BYTE* info) override;
    plat::BOOL GetPrinterW(plat::HANDLE printer, plat::DWORD level, plat::BYTE* buffer, plat::DWORD size,
                           plat::DWORD* needed) override;
    plat::BOOL SetPrinterW(plat::HANDLE printer, plat::DWORD level, plat::BYTE* info, plat::DWORD command) override;
    plat::LONG DocumentPropertiesW(plat::HWND owner, plat::HANDLE printer, const char16_t* deviceName,
                                   plat::DEVMODEW* output, plat::DEVMODEW* input, plat::DWORD mode) override;
    plat::BOOL EnumPortsW(const char16_t* server, plat::DWORD level, plat::BYTE* buffer, plat::DWORD size,
                          plat::DWORD* needed, plat::DWORD* returned) override;
    plat::BOOL SetDefaultPrinterW(const char16_t* name) override;
    plat::BOOL EnumPrintersW(plat::DWORD flags, const char16_t* name, plat::DWORD level, plat::BYTE* buffer,
                             plat::DWORD size, plat::DWORD* needed, plat::DWORD* returned) override;
    plat::BOOL EnumPrinterDriversW(const char16_t* server, const char16_t* environment, plat::DWORD level,
                                   plat::BYTE* buffer, plat::DWORD size, plat::DWORD* needed,
                                   plat::DWORD* returned) override;
    plat::BOOL DeletePrinter(plat::HANDLE printer) override;
    plat::BOOL DeletePrinterDriverExW(const char16_t* server, const char16_t* environment, const char16_t* driverName,
                                      plat::DWORD deleteFlags, plat::DWORD versionFlag) override;

    // ---- IServices
    plat::SC_HANDLE OpenSCManagerW(const char16_t* machine, const char16_t* database, plat::DWORD access) override;
    plat::SC_HANDLE OpenServiceW(plat::SC_HANDLE manager, const char16_t* name, plat::DWORD access) override;
    plat::BOOL QueryServiceStatus(plat::SC_HANDLE service, plat::SERVICE_STATUS* status) override;
    plat::BOOL ControlService(plat::SC_HANDLE service, plat::DWORD control, plat::SERVICE_STATUS* status) override;
    plat::BOOL StartServiceW(plat::SC_HANDLE service, plat::DWORD argc, const char16_t** argv) override;
    plat::BOOL CloseServiceHandle(plat::SC_HANDLE handle) override;

    // ---- IRegistry
    plat::LONG RegOpenKeyExW(plat::HKEY root, const char16_t* subKey, plat::DWORD options, plat::DWORD access,
                             plat::HKEY* result) override;
    plat::LONG RegQueryValueExW(plat::HKEY key, const char16_t* name, plat::DWORD* type, plat::BYTE* data,
                                plat::DWORD* size) override;
    plat::LONG RegSetValueExW(plat::HKEY key, const char16_t* name, plat::DWORD type, const plat::BYTE* data,
                              plat::DWORD size) override;
    plat::LONG RegCloseKey(plat::HKEY key) override;

    // ---- IDeviceSetup
    plat::HDEVINFO SetupDiGetClassDevsW(const plat::GUID* classGuid, const char16_t* enumerator, plat::HWND parent,
                                        plat::DWORD flags) override;
    plat::BOOL SetupDiEnumDeviceInfo(plat::HDEVINFO set, plat::DWORD index, plat::SP_DEVINFO_DATA* device) override;
    plat::BOOL SetupDiEnumDeviceInterfaces(plat::HDEVINFO set, plat::SP_DEVINFO_DATA* device,
                                           const plat::GUID* interfaceGuid, plat::DWORD index,
                                           plat::SP_DEVICE_INTERFACE_DATA* iface) override;
    plat::BOOL SetupDiGetDeviceInterfaceDetailW(plat::HDEVINFO set, plat::SP_DEVICE_INTERFACE_DATA* iface,
                                                plat::SP_DEVICE_INTERFACE_DETAIL_DATA_W* detail, plat::DWORD size,
                                                plat::DWORD* required, plat::SP_DEVINFO_DATA* device) override;
    plat::BOOL SetupDiDestroyDeviceInfoList(plat::HDEVINFO set) override;
    plat::BOOL SetupDiGetDeviceRegistryPropertyW(plat::HDEVINFO set, plat::SP_DEVINFO_DATA* device,
                                                 plat::DWORD property, plat::DWORD* type, plat::BYTE* buffer,
                                                 plat::DWORD size, plat::DWORD* required) override;
    plat::BOOL SetupDiClassGuidsFromNameW(const char16_t* className, plat::GUID* guids, plat::DWORD size,
                                          plat::DWORD* required) override;
    plat::BOOL SetupDiGetINFClassW(const char16_t* infPath, plat::GUID* classGuid, char16_t* className,
                                   plat::DWORD size, plat::DWORD* required) override;
    plat::HDEVINFO SetupDiCreateDeviceInfoList(const plat::GUID* classGuid, plat::HWND parent) override;
    plat::BOOL SetupDiCreateDeviceInfoW(plat::HDEVINFO set, const char16_t* name, const plat::GUID* classGuid,
                                        const char16_t* description, plat::HWND parent, plat::DWORD flags,
                                        plat::SP_DEVINFO_DATA* device) override;
    plat::BOOL SetupDiSetDeviceRegistryPropertyW(plat::HDEVINFO set, plat::SP_DEVINFO_DATA* device,
                                                 plat::DWORD property, const plat::BYTE* buffer,
                                                 plat::DWORD size) override;
    plat::BOOL SetupDiCallClassInstaller(plat::DWORD function, plat::HDEVINFO set,
                                         plat::SP_DEVINFO_DATA* device) override;
    plat::BOOL SetupCopyOEMInfW(const char16_t* infPath, const char16_t* mediaLocation, plat::DWORD mediaType,
                                plat::DWORD copyStyle, char16_t* destination, plat::DWORD destinationSize,
                                plat::DWORD* required, char16_t** destinationComponent) override;
    plat::BOOL SetupUninstallOEMInfW(const char16_t* infFileName, plat::DWORD flags) override;
    plat::BOOL UpdateDriverForPlugAndPlayDevicesW(plat::HWND parent, const char16_t* hardwareId,
                                                  const char16_t* infPath, plat::DWORD flags,
                                                  plat::BOOL* reboot) override;
    plat::CONFIGRET CM_Locate_DevNodeW(plat::DEVINST* node, const char16_t* instanceId, plat::DWORD flags) override;
    plat::CONFIGRET CM_Reenumerate_DevNode(plat::DEVINST node, plat::DWORD flags) override;
    plat::CONFIGRET CM_Get_Child(plat::DEVINST* child, plat::DEVINST node, plat::DWORD flags) override;
    plat::CONFIGRET CM_Get_Sibling(plat::DEVINST* sibling, plat::DEVINST node, plat::DWORD flags) override;
    plat::CONFIGRET CM_Get_Device_ID_Size(plat::DWORD* length, plat::DEVINST node, plat::DWORD flags) override;
    plat::CONFIGRET CM_Get_Device_IDW(plat::DEVINST node, char16_t* buffer, plat::DWORD length,
                                      plat::DWORD flags) override;

    // ---- IDevices
    plat::BOOL DeviceIoControl(plat::HANDLE device, plat::DWORD code, const void* input, plat::DWORD inputSize,
                               void* output, plat::DWORD outputSize, plat::DWORD* returned) override;

    // ---- IUser
    plat::LRESULT SendMessageW(plat::HWND window, plat::DWORD message, plat::WPARAM wParam, plat::LPARAM lParam) override;
    plat::LRESULT SendMessageTimeoutW(plat::HWND window, plat::DWORD message, plat::WPARAM wParam, plat::LPARAM lParam,
                                      plat::DWORD flags, plat::DWORD timeout, plat::ULONG_PTR* result) override;
    int MessageBoxW(plat::HWND owner, const char16_t* text, const char16_t* caption, plat::DWORD type) override;
    plat::HANDLE LoadCursorW(const char16_t* name) override;
    plat::HANDLE SetCursor(plat::HANDLE cursor) override;
    int AddFontResourceW(const char16_t* fileName) override;

    // ---- for the service files: shared machinery (call with the lock held)
    std::recursive_mutex& Lock() { return mutex_; }
    // True when the call must fail; the fault's error is then the thread's last error.
    bool Faulted(const char* op);
    // The same for calls that return their error instead of setting the last error.
    std::optional<plat::DWORD> FaultCode(const char* op);
    void Event(std::string line);
    plat::HANDLE NewHandle();   // a fresh handle value, unique across all kinds
    bool SpoolerRunning();      // services.cpp
    void AdvanceServices(uint64_t fromMs, uint64_t toMs);   // services.cpp: pending states move on

    // Windows path handling shared by the files and INI code.
    struct ParsedPath {
        bool ok = false;
        std::u16string key;   // upper-case, backslashes, no trailing backslash: C:\DIR\FILE.TXT
        std::filesystem::path host;
    };
    // asProcess: the path as the running program's calls see it (WOW64 redirection applied);
    // otherwise the machine's own path, as fixtures and the system's services use it.
    ParsedPath Resolve(const char16_t* path, bool asProcess = false);

private:
    struct OpenFile;
    struct FindState;
    struct DeviceSet;
    struct Impl;

    OpenFile* SeekedFile(plat::HANDLE handle, plat::DWORD access);
    void Redirect(char16_t drive, std::vector<std::u16string>& parts);
    std::optional<plat::DWORD> ReplaceRefusal(const std::u16string& key, bool overwriteInPlace);

    std::recursive_mutex mutex_;
    std::filesystem::path root_;
    uint64_t clockMs_ = 0;
    uintptr_t nextHandle_ = 0x1000;
    std::vector<Fault> faults_;
    std::map<std::string, int> callCounts_;
    std::vector<std::string> events_;
    Impl* impl_;
};

}  // namespace sim
