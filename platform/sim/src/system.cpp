// ISystem of the simulated machine: last error, folders, the virtual clock, messages,
// architecture and the ANSI code page.
#ifndef LP_SIM_WINDOWS_CODEPAGE
#include <iconv.h>
#endif

#include <cerrno>
#include <cstring>

#include "impl.h"
#include "platform/text.h"

namespace sim {
namespace {

thread_local plat::DWORD t_lastError = 0;

bool CopyOut(const std::u16string& text, char16_t* buffer, plat::DWORD size) {
    if (!buffer || text.size() + 1 > size) return false;
    std::copy(text.begin(), text.end(), buffer);
    buffer[text.size()] = 0;
    return true;
}

// Civil date <-> days since 1970-01-01.
long long DaysFromCivil(int y, unsigned m, unsigned d) {
    y -= m <= 2;
    long long era = (y >= 0 ? y : y - 399) / 400;
    unsigned yoe = static_cast<unsigned>(y - era * 400);
    unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, int& y, unsigned& m, unsigned& d) {
    z += 719468;
    long long era = (z >= 0 ? z : z - 146096) / 146097;
    unsigned doe = static_cast<unsigned>(z - era * 146097);
    unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<int>(yoe) + static_cast<int>(era * 400);
    unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

// The system's messages on a Chinese (Simplified) Windows, for the codes Setup meets.
const std::map<plat::DWORD, std::u16string>& Messages() {
    static const std::map<plat::DWORD, std::u16string> table = {
        {0, u"操作成功完成。\r\n"},
        {2, u"系统找不到指定的文件。\r\n"},
        {3, u"系统找不到指定的路径。\r\n"},
        {5, u"拒绝访问。\r\n"},
        {6, u"句柄无效。\r\n"},
        {8, u"存储空间不足，无法处理此命令。\r\n"},
        {13, u"数据无效。\r\n"},
        {31, u"连到系统上的设备没有发挥作用。\r\n"},
        {32, u"另一个程序正在使用此文件，进程无法访问。\r\n"},
        {80, u"文件存在。\r\n"},
        {87, u"参数错误。\r\n"},
        {122, u"传递给系统调用的数据区域太小。\r\n"},
        {259, u"没有可用的数据了。\r\n"},
        {1053, u"服务没有及时响应启动或控制请求。\r\n"},
        {1056, u"服务的实例已在运行中。\r\n"},
        {1060, u"指定的服务未安装。\r\n"},
        {1061, u"服务此时无法接受控制信息。\r\n"},
        {1062, u"服务尚未启动。\r\n"},
        {1168, u"找不到元素。\r\n"},
        {1801, u"打印机名无效。\r\n"},
    };
    return table;
}

const char* IconvName(plat::DWORD codePage) {
    switch (codePage) {
        case 936: return "CP936";
        case 1252: return "CP1252";
        case 65001: return "UTF-8";
        default: return nullptr;
    }
}

#ifdef LP_SIM_WINDOWS_CODEPAGE
// MinGW has no iconv; on Windows builds the simulated code page is converted by the host
// (codepage_win.cpp).
std::u16string DecodeAnsi(const char* name, const char* src, size_t n) { return HostDecode(name, src, n); }
std::string EncodeAnsi(const char* name, const char16_t* src, size_t n, char defaultChar, bool& usedDefault) {
    return HostEncode(name, src, n, defaultChar, usedDefault);
}
#else
// Converts with iconv one step at a time so that bytes the code page cannot map become the
// default character, as Windows does, instead of ending the conversion.
std::u16string DecodeAnsi(const char* name, const char* src, size_t n) {
    std::u16string out;
    iconv_t cd = iconv_open("UTF-16LE", name);
    if (cd == reinterpret_cast<iconv_t>(-1)) return out;
    char* in = const_cast<char*>(src);
    size_t left = n;
    while (left > 0) {
        char16_t buf[64];
        char* o = reinterpret_cast<char*>(buf);
        size_t room = sizeof buf;
        size_t r = iconv(cd, &in, &left, &o, &room);
        out.append(buf, (sizeof buf - room) / 2);
        if (r == static_cast<size_t>(-1) && errno != E2BIG) {
            out += u'?';   // the code page has no character for this byte
            ++in;
            --left;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}

std::string EncodeAnsi(const char* name, const char16_t* src, size_t n, char defaultChar, bool& usedDefault) {
    std::string out;
    iconv_t cd = iconv_open(name, "UTF-16LE");
    if (cd == reinterpret_cast<iconv_t>(-1)) return out;
    for (size_t i = 0; i < n; ++i) {
        size_t units = (src[i] >= 0xD800 && src[i] < 0xDC00 && i + 1 < n) ? 2 : 1;
        char* in = reinterpret_cast<char*>(const_cast<char16_t*>(src + i));
        size_t left = units * 2;
        char buf[8];
        char* o = buf;
        size_t room = sizeof buf;
        if (iconv(cd, &in, &left, &o, &room) == static_cast<size_t>(-1)) {
            out += defaultChar;
            usedDefault = true;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        } else {
            out.append(buf, sizeof buf - room);
        }
        i += units - 1;
    }
    iconv_close(cd);
    return out;
}
#endif

}  // namespace

plat::DWORD Machine::GetLastError() { return t_lastError; }
void Machine::SetLastError(plat::DWORD error) { t_lastError = error; }

plat::DWORD Machine::GetModuleFileNameW(char16_t* buffer, plat::DWORD size) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("GetModuleFileNameW")) return 0;
    const std::u16string& path = system.modulePath;
    if (size == 0) return 0;
    if (path.size() + 1 > size) {   // Windows truncates and reports the buffer size
        std::copy(path.begin(), path.begin() + (size - 1), buffer);
        buffer[size - 1] = 0;
        SetLastError(plat::ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    CopyOut(path, buffer, size);
    return static_cast<plat::DWORD>(path.size());
}

plat::BOOL Machine::SHGetSpecialFolderPathW(plat::HWND, char16_t* buffer, int csidl, plat::BOOL) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("SHGetSpecialFolderPathW")) return 0;
    const std::u16string* folder = csidl == plat::CSIDL_PERSONAL ? &system.documentsFolder
                                   : csidl == plat::CSIDL_FONTS  ? &system.fontsFolder
                                   : csidl == plat::CSIDL_WINDOWS ? &system.windowsFolder
                                                                 : nullptr;
    if (!folder || !CopyOut(*folder, buffer, plat::MAX_PATH)) return 0;
    return 1;
}

void Machine::GetLocalTime(plat::SYSTEMTIME* t) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const auto& s = system.startTime;
    long long ms = DaysFromCivil(s.wYear, s.wMonth, s.wDay) * 86400000LL +
                   ((s.wHour * 60LL + s.wMinute) * 60 + s.wSecond) * 1000 + s.wMilliseconds +
                   static_cast<long long>(clockMs_);
    long long days = ms / 86400000LL;
    long long rest = ms % 86400000LL;
    int y;
    unsigned m, d;
    CivilFromDays(days, y, m, d);
    t->wYear = static_cast<plat::WORD>(y);
    t->wMonth = static_cast<plat::WORD>(m);
    t->wDay = static_cast<plat::WORD>(d);
    t->wDayOfWeek = static_cast<plat::WORD>((days + 4) % 7);   // 1970-01-01 was a Thursday
    t->wHour = static_cast<plat::WORD>(rest / 3600000);
    t->wMinute = static_cast<plat::WORD>(rest / 60000 % 60);
    t->wSecond = static_cast<plat::WORD>(rest / 1000 % 60);
    t->wMilliseconds = static_cast<plat::WORD>(rest % 1000);
}

plat::DWORD Machine::GetTickCount() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return static_cast<plat::DWORD>(clockMs_);
}

void Machine::Sleep(plat::DWORD milliseconds) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    uint64_t from = clockMs_;
    clockMs_ += milliseconds;
    Event("sleep " + std::to_string(milliseconds));
    AdvanceServices(from, clockMs_);
}

plat::DWORD Machine::FormatSystemMessageW(plat::DWORD id, plat::DWORD, char16_t* buffer, plat::DWORD size) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("FormatMessageW")) return 0;
    auto it = Messages().find(id);
    if (it == Messages().end()) {
        SetLastError(317);   // ERROR_MR_MID_NOT_FOUND
        return 0;
    }
    if (!CopyOut(it->second, buffer, size)) {
        SetLastError(plat::ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    return static_cast<plat::DWORD>(it->second.size());
}

plat::BOOL Machine::Kernel32HasExport(const char* name) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (std::strcmp(name, "GetNativeSystemInfo") == 0) return system.hasGetNativeSystemInfo;
    return 1;
}

void Machine::GetNativeSystemInfo(plat::SYSTEM_INFO* info) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    *info = {};
    info->wProcessorArchitecture = system.nativeArchitecture;
    info->dwPageSize = 4096;
    info->dwNumberOfProcessors = 2;
}

void Machine::GetSystemInfo(plat::SYSTEM_INFO* info) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    *info = {};
    // A 32-bit process on 64-bit Windows is told x86 here; only the native call sees the machine.
    info->wProcessorArchitecture = system.processArchitecture;
    info->dwPageSize = 4096;
    info->dwNumberOfProcessors = 2;
}

plat::BOOL Machine::GetVersionExW(plat::OSVERSIONINFOW* info) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!info || info->dwOSVersionInfoSize != sizeof(plat::OSVERSIONINFOW)) {
        SetLastError(plat::ERROR_INVALID_PARAMETER);   // ERROR_INSUFFICIENT_BUFFER on some systems
        return 0;
    }
    info->dwMajorVersion = system.platformId == plat::VER_PLATFORM_WIN32_WINDOWS ? 4 : 6;
    info->dwMinorVersion = system.platformId == plat::VER_PLATFORM_WIN32_WINDOWS ? 10 : 2;
    info->dwBuildNumber = 9200;
    info->dwPlatformId = system.platformId;
    info->szCSDVersion[0] = 0;
    return 1;
}

int Machine::MultiByteToWideChar(plat::DWORD codePage, plat::DWORD, const char* source, int sourceBytes,
                                 char16_t* target, int targetUnits) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!source || sourceBytes == 0 || targetUnits < 0) {
        SetLastError(plat::ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t n = sourceBytes < 0 ? std::strlen(source) + 1 : static_cast<size_t>(sourceBytes);
    const char* name = IconvName(codePage == plat::CP_ACP ? system.codePage : codePage);
    if (!name) {
        SetLastError(plat::ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::u16string text = DecodeAnsi(name, source, n);
    if (targetUnits == 0) return static_cast<int>(text.size());
    if (text.size() > static_cast<size_t>(targetUnits)) {
        SetLastError(plat::ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::copy(text.begin(), text.end(), target);
    return static_cast<int>(text.size());
}

int Machine::WideCharToMultiByte(plat::DWORD codePage, plat::DWORD, const char16_t* source, int sourceUnits,
                                 char* target, int targetBytes, const char* defaultChar, plat::BOOL* usedDefault) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!source || sourceUnits == 0 || targetBytes < 0) {
        SetLastError(plat::ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t n = sourceUnits < 0 ? std::char_traits<char16_t>::length(source) + 1 : static_cast<size_t>(sourceUnits);
    const char* name = IconvName(codePage == plat::CP_ACP ? system.codePage : codePage);
    if (!name) {
        SetLastError(plat::ERROR_INVALID_PARAMETER);
        return 0;
    }
    bool used = false;
    std::string bytes = EncodeAnsi(name, source, n, defaultChar ? *defaultChar : '?', used);
    if (usedDefault) *usedDefault = used;
    if (targetBytes == 0) return static_cast<int>(bytes.size());
    if (bytes.size() > static_cast<size_t>(targetBytes)) {
        SetLastError(plat::ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(target, bytes.data(), bytes.size());
    return static_cast<int>(bytes.size());
}

void Machine::OutputDebugStringW(const char16_t* text) { Event("debug " + Utf8(text)); }

namespace {
bool Is64Bit(plat::WORD architecture) {
    return architecture == plat::PROCESSOR_ARCHITECTURE_AMD64 || architecture == plat::PROCESSOR_ARCHITECTURE_IA64 ||
           architecture == plat::PROCESSOR_ARCHITECTURE_ARM64;
}

const char16_t* EnvironmentOf(plat::WORD architecture) {
    switch (architecture) {
        case plat::PROCESSOR_ARCHITECTURE_AMD64: return kEnvX64;
        case plat::PROCESSOR_ARCHITECTURE_IA64: return kEnvIA64;
        case plat::PROCESSOR_ARCHITECTURE_ARM64: return kEnvARM64;
        default: return kEnvX86;
    }
}

const char16_t* DriverFolderOf(plat::WORD architecture) {
    switch (architecture) {
        case plat::PROCESSOR_ARCHITECTURE_AMD64: return u"x64";
        case plat::PROCESSOR_ARCHITECTURE_IA64: return u"IA64";
        case plat::PROCESSOR_ARCHITECTURE_ARM64: return u"ARM64";
        default: return u"W32X86";
    }
}
}  // namespace

void Machine::SetArchitecture(plat::WORD native, plat::WORD process) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    system.nativeArchitecture = native;
    system.processArchitecture = process;
    const std::u16string drivers = system.windowsFolder + u"\\System32\\spool\\drivers\\";
    spooler.environment = EnvironmentOf(native);
    spooler.driverDirectory = drivers + DriverFolderOf(native);
    spooler.otherEnvironments.clear();
    if (Is64Bit(native)) spooler.otherEnvironments[kEnvX86] = drivers + DriverFolderOf(plat::PROCESSOR_ARCHITECTURE_INTEL);
    if (native == plat::PROCESSOR_ARCHITECTURE_ARM64)   // x64 programs run emulated there
        spooler.otherEnvironments[kEnvX64] = drivers + DriverFolderOf(plat::PROCESSOR_ARCHITECTURE_AMD64);
    AddDirectory(spooler.driverDirectory);
}

bool Machine::Wow64() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return Is64Bit(system.nativeArchitecture) && !Is64Bit(system.processArchitecture);
}

std::u16string Machine::ProcessEnvironment() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return EnvironmentOf(system.processArchitecture);
}

plat::BOOL Machine::CreateProcessW(const char16_t* application, char16_t* commandLine,
                                   plat::PROCESS_INFORMATION* info) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("CreateProcessW")) return 0;
    auto r = Resolve(application, true);
    std::error_code ec;
    if (!r.ok || !info) {
        SetLastError(r.ok ? plat::ERROR_INVALID_PARAMETER : plat::ERROR_PATH_NOT_FOUND);
        return 0;
    }
    if (!std::filesystem::is_regular_file(r.host, ec)) {
        SetLastError(plat::ERROR_FILE_NOT_FOUND);
        return 0;
    }
    char magic[2] = {};
    if (std::FILE* f = OpenHostFile(r.host, false, false)) {
        if (std::fread(magic, 1, 2, f) != 2) magic[0] = 0;
        std::fclose(f);
    }
    if (magic[0] != 'M' || magic[1] != 'Z') {
        Event("process refused " + Utf8(application) + " error " + std::to_string(plat::ERROR_BAD_EXE_FORMAT));
        SetLastError(plat::ERROR_BAD_EXE_FORMAT);
        return 0;
    }
    auto code = system.exitCodes.find(r.key);
    plat::DWORD exitCode = code == system.exitCodes.end() ? 0 : code->second;
    *info = {};
    info->hProcess = NewHandle();
    info->hThread = NewHandle();
    info->dwProcessId = info->dwThreadId = static_cast<plat::DWORD>(reinterpret_cast<uintptr_t>(info->hProcess));
    impl_->processes[reinterpret_cast<uintptr_t>(info->hProcess)] = exitCode;
    impl_->threads.insert(reinterpret_cast<uintptr_t>(info->hThread));
    Event("process started " + Utf8(application) + " command line " + Utf8(commandLine) + ", exits with " +
          std::to_string(exitCode));
    return 1;
}

plat::DWORD Machine::WaitForSingleObject(plat::HANDLE handle, plat::DWORD) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("WaitForSingleObject")) return plat::WAIT_FAILED;
    if (!impl_->processes.count(reinterpret_cast<uintptr_t>(handle))) {
        SetLastError(plat::ERROR_INVALID_HANDLE);
        return plat::WAIT_FAILED;
    }
    return plat::WAIT_OBJECT_0;   // the simulated programs have ended by the time anyone waits
}

plat::BOOL Machine::GetExitCodeProcess(plat::HANDLE process, plat::DWORD* exitCode) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("GetExitCodeProcess")) return 0;
    auto it = impl_->processes.find(reinterpret_cast<uintptr_t>(process));
    if (it == impl_->processes.end() || !exitCode) {
        SetLastError(plat::ERROR_INVALID_HANDLE);
        return 0;
    }
    *exitCode = it->second;
    return 1;
}

}  // namespace sim
