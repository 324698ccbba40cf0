// Windows-shaped values and records of the platform boundary.
//
// Records that Windows hands back in caller buffers (PRINTER_INFO_2, DEVMODE, PORT_INFO_1,
// the find data, the device-interface detail ...) are declared here with the exact layout of
// their wide-character Windows twins, text pointers as char16_t. On Windows the adapter passes
// them through unchanged (platform/win32/layout_check.cpp proves the layouts equal); the
// simulation writes the same layouts, so code above the boundary fills and reads one shape.
#pragma once

// The constants below carry Windows' own names, which <windows.h> defines as macros: a file that
// needs both includes the platform headers first and then uses Windows' macros, not these.
#if defined(_WIN32) && defined(ERROR_SUCCESS)
#error "include platform headers before <windows.h>"
#endif

#include <cstddef>
#include <cstdint>
#include <string>

namespace plat {

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using BOOL = int32_t;
using LONG = int32_t;
using ULONG_PTR = uintptr_t;
using LONG_PTR = intptr_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;

// Every handle kind is pointer-sized on Windows; the boundary keeps them apart by name only.
using HANDLE = void*;
using HWND = void*;
using HKEY = void*;
using SC_HANDLE = void*;
using HDEVINFO = void*;
using DEVINST = DWORD;
using CONFIGRET = DWORD;

inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));
inline HWND const HWND_BROADCAST = reinterpret_cast<HWND>(static_cast<intptr_t>(0xffff));
inline HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000002u));

// Error codes.
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_INVALID_DATA = 13;
constexpr DWORD ERROR_NO_MORE_FILES = 18;
constexpr DWORD ERROR_GEN_FAILURE = 31;
constexpr DWORD ERROR_SHARING_VIOLATION = 32;
constexpr DWORD ERROR_HANDLE_EOF = 38;
constexpr DWORD ERROR_NOT_SUPPORTED = 50;
constexpr DWORD ERROR_FILE_EXISTS = 80;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_INVALID_NAME = 123;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
constexpr DWORD ERROR_NO_MORE_ITEMS = 259;
constexpr DWORD ERROR_SERVICE_REQUEST_TIMEOUT = 1053;
constexpr DWORD ERROR_SERVICE_DOES_NOT_EXIST = 1060;
constexpr DWORD ERROR_SERVICE_CANNOT_ACCEPT_CTRL = 1061;
constexpr DWORD ERROR_SERVICE_NOT_ACTIVE = 1062;
constexpr DWORD ERROR_SERVICE_ALREADY_RUNNING = 1056;
constexpr DWORD ERROR_NOT_FOUND = 1168;
constexpr DWORD ERROR_INVALID_PRINTER_NAME = 1801;
constexpr DWORD ERROR_UNKNOWN_PRINTER_DRIVER = 1797;
constexpr DWORD ERROR_PRINTER_ALREADY_EXISTS = 1802;
constexpr DWORD ERROR_UNKNOWN_PORT = 1796;
constexpr DWORD ERROR_INVALID_ENVIRONMENT = 1805;
constexpr DWORD ERROR_PRINTER_DRIVER_IN_USE = 3001;
constexpr DWORD ERROR_BAD_EXE_FORMAT = 193;
constexpr DWORD ERROR_IN_WOW64 = 0xE0000235;   // device setup refused to a 32-bit program on 64-bit Windows
constexpr DWORD ERROR_GENERAL_SYNTAX = 0xE0000003;   // device setup: INF syntax error
constexpr DWORD ERROR_NO_SUCH_DEVINST = 0xE000020B;
constexpr DWORD ERROR_NO_DRIVER_SELECTED = 0xE0000203;
constexpr DWORD ERROR_INF_IN_USE_BY_DEVICES = 0xE000023D;

// Files.
constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD GENERIC_EXECUTE = 0x20000000;
constexpr DWORD GENERIC_ALL = 0x10000000;
constexpr DWORD FILE_SHARE_READ = 1;
constexpr DWORD FILE_SHARE_WRITE = 2;
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;
constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFF;
constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFF;
constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x1;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x2;
constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x4;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD MAX_PATH = 260;
constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x1;

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

struct WIN32_FIND_DATAW {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    char16_t cFileName[MAX_PATH];
    char16_t cAlternateFileName[14];
};

// System.
struct SYSTEMTIME {
    WORD wYear, wMonth, wDayOfWeek, wDay, wHour, wMinute, wSecond, wMilliseconds;
};

constexpr WORD PROCESSOR_ARCHITECTURE_INTEL = 0;
constexpr WORD PROCESSOR_ARCHITECTURE_IA64 = 6;
constexpr WORD PROCESSOR_ARCHITECTURE_AMD64 = 9;
constexpr WORD PROCESSOR_ARCHITECTURE_ARM64 = 12;

struct SYSTEM_INFO {
    WORD wProcessorArchitecture;
    WORD wReserved;
    DWORD dwPageSize;
    void* lpMinimumApplicationAddress;
    void* lpMaximumApplicationAddress;
    ULONG_PTR dwActiveProcessorMask;
    DWORD dwNumberOfProcessors;
    DWORD dwProcessorType;
    DWORD dwAllocationGranularity;
    WORD wProcessorLevel;
    WORD wProcessorRevision;
};

constexpr DWORD VER_PLATFORM_WIN32s = 0;
constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

struct OSVERSIONINFOW {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    char16_t szCSDVersion[128];
};

// Processes.
struct PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
};
constexpr DWORD INFINITE = 0xFFFFFFFF;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;

constexpr int CSIDL_PERSONAL = 0x0005;
constexpr int CSIDL_FONTS = 0x0014;
constexpr int CSIDL_WINDOWS = 0x0024;
constexpr DWORD CP_ACP = 0;

// Window messages and boxes that cross the boundary.
constexpr DWORD WM_CLOSE = 0x0010;
constexpr DWORD WM_DEVMODECHANGE = 0x001B;
constexpr DWORD WM_FONTCHANGE = 0x001D;
constexpr DWORD WM_USER = 0x0400;
constexpr DWORD SMTO_NORMAL = 0;
constexpr DWORD MB_OK = 0x0;
constexpr DWORD MB_ICONERROR = 0x10;
constexpr DWORD MB_ICONINFORMATION = 0x40;
constexpr DWORD MB_SYSTEMMODAL = 0x1000;

// Spooler.
constexpr DWORD PRINTER_ALL_ACCESS = 0xF000C;
constexpr DWORD PRINTER_ATTRIBUTE_LOCAL = 0x40;
constexpr DWORD PRINTER_ATTRIBUTE_ENABLE_BIDI = 0x800;
constexpr DWORD PRINTER_ENUM_LOCAL = 0x2;
constexpr DWORD DPD_DELETE_UNUSED_FILES = 0x1;
constexpr DWORD DPD_DELETE_SPECIFIC_VERSION = 0x2;
constexpr DWORD DM_ORIENTATION = 0x1;
constexpr DWORD DM_OUT_BUFFER = 2;
constexpr DWORD DM_IN_BUFFER = 8;
constexpr LONG IDOK = 1;

struct DRIVER_INFO_6W {
    DWORD cVersion;
    char16_t* pName;
    char16_t* pEnvironment;
    char16_t* pDriverPath;
    char16_t* pDataFile;
    char16_t* pConfigFile;
    char16_t* pHelpFile;
    char16_t* pDependentFiles;
    char16_t* pMonitorName;
    char16_t* pDefaultDataType;
    char16_t* pszzPreviousNames;
    FILETIME ftDriverDate;
    uint64_t dwlDriverVersion;
    char16_t* pszMfgName;
    char16_t* pszOEMUrl;
    char16_t* pszHardwareID;
    char16_t* pszProvider;
};

// DEVMODEW with its printer fields (the display-only union members are not read here).
struct DEVMODEW {
    char16_t dmDeviceName[32];
    WORD dmSpecVersion;
    WORD dmDriverVersion;
    WORD dmSize;
    WORD dmDriverExtra;
    DWORD dmFields;
    int16_t dmOrientation;
    int16_t dmPaperSize;
    int16_t dmPaperLength;
    int16_t dmPaperWidth;
    int16_t dmScale;
    int16_t dmCopies;
    int16_t dmDefaultSource;
    int16_t dmPrintQuality;
    int16_t dmColor;
    int16_t dmDuplex;
    int16_t dmYResolution;
    int16_t dmTTOption;
    int16_t dmCollate;
    char16_t dmFormName[32];
    WORD dmLogPixels;
    DWORD dmBitsPerPel;
    DWORD dmPelsWidth;
    DWORD dmPelsHeight;
    DWORD dmDisplayFlags;
    DWORD dmDisplayFrequency;
    DWORD dmICMMethod;
    DWORD dmICMIntent;
    DWORD dmMediaType;
    DWORD dmDitherType;
    DWORD dmReserved1;
    DWORD dmReserved2;
    DWORD dmPanningWidth;
    DWORD dmPanningHeight;
};

struct PRINTER_INFO_2W {
    char16_t* pServerName;
    char16_t* pPrinterName;
    char16_t* pShareName;
    char16_t* pPortName;
    char16_t* pDriverName;
    char16_t* pComment;
    char16_t* pLocation;
    DEVMODEW* pDevMode;
    char16_t* pSepFile;
    char16_t* pPrintProcessor;
    char16_t* pDatatype;
    char16_t* pParameters;
    void* pSecurityDescriptor;
    DWORD Attributes;
    DWORD Priority;
    DWORD DefaultPriority;
    DWORD StartTime;
    DWORD UntilTime;
    DWORD Status;
    DWORD cJobs;
    DWORD AveragePPM;
};

struct PRINTER_INFO_4W {
    char16_t* pPrinterName;
    char16_t* pServerName;
    DWORD Attributes;
};

struct PRINTER_DEFAULTSW {
    char16_t* pDatatype;
    DEVMODEW* pDevMode;
    DWORD DesiredAccess;
};

struct PORT_INFO_1W {
    char16_t* pName;
};

struct DOC_INFO_1W {
    char16_t* pDocName;
    char16_t* pOutputFile;
    char16_t* pDatatype;
};

// Service control manager.
constexpr DWORD SC_MANAGER_ALL_ACCESS = 0xF003F;
constexpr DWORD SERVICE_ALL_ACCESS = 0xF01FF;
constexpr DWORD SERVICE_QUERY_STATUS = 0x0004;
constexpr DWORD SERVICE_START = 0x0010;
constexpr DWORD SERVICE_STOP = 0x0020;
constexpr DWORD SERVICE_CONTROL_STOP = 1;
constexpr DWORD SERVICE_STOPPED = 1;
constexpr DWORD SERVICE_START_PENDING = 2;
constexpr DWORD SERVICE_STOP_PENDING = 3;
constexpr DWORD SERVICE_RUNNING = 4;
constexpr DWORD SERVICE_CONTINUE_PENDING = 5;
constexpr DWORD SERVICE_PAUSE_PENDING = 6;
constexpr DWORD SERVICE_PAUSED = 7;

struct SERVICE_STATUS {
    DWORD dwServiceType;
    DWORD dwCurrentState;
    DWORD dwControlsAccepted;
    DWORD dwWin32ExitCode;
    DWORD dwServiceSpecificExitCode;
    DWORD dwCheckPoint;
    DWORD dwWaitHint;
};

// Registry.
constexpr DWORD KEY_READ = 0x20019;
constexpr DWORD KEY_SET_VALUE = 0x2;
constexpr DWORD KEY_WOW64_64KEY = 0x100;   // the 64-bit view, also from a 32-bit program
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;

// Device setup.
struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
inline bool operator==(const GUID& a, const GUID& b) {
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           std::char_traits<char>::compare(reinterpret_cast<const char*>(a.Data4),
                                           reinterpret_cast<const char*>(b.Data4), 8) == 0;
}
inline bool operator!=(const GUID& a, const GUID& b) { return !(a == b); }

// {28d78fad-5a12-11d1-ae5b-0000f803a8c2}
constexpr GUID GUID_DEVINTERFACE_USBPRINT = {0x28d78fad, 0x5a12, 0x11d1, {0xae, 0x5b, 0x00, 0x00, 0xf8, 0x03, 0xa8, 0xc2}};
// {97F76EF0-F883-11D0-AF1F-0000F800845C}
constexpr GUID GUID_DEVINTERFACE_PARALLEL = {0x97f76ef0, 0xf883, 0x11d0, {0xaf, 0x1f, 0x00, 0x00, 0xf8, 0x00, 0x84, 0x5c}};
// {4D36E978-E325-11CE-BFC1-08002BE10318}, setup class "Ports"
constexpr GUID GUID_DEVCLASS_PORTS = {0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
// {4D36E979-E325-11CE-BFC1-08002BE10318}, setup class "Printer"
constexpr GUID GUID_DEVCLASS_PRINTER = {0x4d36e979, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

constexpr DWORD DIGCF_DEFAULT = 0x1;
constexpr DWORD DIGCF_PRESENT = 0x2;
constexpr DWORD DIGCF_ALLCLASSES = 0x4;
constexpr DWORD DIGCF_PROFILE = 0x8;
constexpr DWORD DIGCF_DEVICEINTERFACE = 0x10;
constexpr DWORD SPDRP_HARDWAREID = 1;
constexpr DWORD SPDRP_FRIENDLYNAME = 12;
constexpr DWORD DICD_GENERATE_ID = 1;
constexpr DWORD DIF_REMOVE = 5;
constexpr DWORD DIF_REGISTERDEVICE = 0x19;
constexpr DWORD SPOST_PATH = 1;
constexpr DWORD INSTALLFLAG_FORCE = 1;
constexpr DWORD CR_SUCCESS = 0;
constexpr DWORD CR_FAILURE = 0x13;
constexpr DWORD CR_NO_SUCH_DEVNODE = 0x0D;
constexpr DWORD CR_INVALID_POINTER = 0x03;
constexpr DWORD CR_BUFFER_SMALL = 0x1A;
constexpr DWORD CM_LOCATE_DEVNODE_NORMAL = 0;
constexpr DWORD CM_REENUMERATE_NORMAL = 0;

// 32-bit setupapi packs its records to single bytes; 64-bit uses natural alignment.
#if defined(_WIN32) && !defined(_WIN64)
#pragma pack(push, 1)
#endif
struct SP_DEVINFO_DATA {
    DWORD cbSize;
    GUID ClassGuid;
    DWORD DevInst;
    ULONG_PTR Reserved;
};

struct SP_DEVICE_INTERFACE_DATA {
    DWORD cbSize;
    GUID InterfaceClassGuid;
    DWORD Flags;
    ULONG_PTR Reserved;
};

// Variable-length record: cbSize is the fixed part as Windows counts it (8 on 64-bit, 6 on
// 32-bit, whatever the compiler's padding), DevicePath runs to the end of the caller's buffer.
struct SP_DEVICE_INTERFACE_DETAIL_DATA_W {
    DWORD cbSize;
    char16_t DevicePath[1];
};
#if defined(_WIN32) && !defined(_WIN64)
#pragma pack(pop)
#endif
constexpr DWORD kInterfaceDetailCbSize = sizeof(void*) == 8 ? 8 : 6;

// Device I/O.
constexpr DWORD IOCTL_USBPRINT_GET_1284_ID = 0x220034;
constexpr DWORD IOCTL_PAR_QUERY_DEVICE_ID = 0x16000C;

}  // namespace plat
