// IFiles of the simulated machine: Windows paths (drive letters, backslashes, names compared
// without regard to case) over a host folder, with attributes, sharing and find.
#include <algorithm>
#include <cstring>
#include <fstream>

#include "impl.h"
#include "platform/text.h"

namespace sim {
namespace fs = std::filesystem;
using namespace plat;

namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

bool HasInvalidChar(const std::u16string& name, bool allowWildcards) {
    for (char16_t c : name) {
        if (c < 32 || c == u'<' || c == u'>' || c == u':' || c == u'"' || c == u'|') return true;
        if (!allowWildcards && (c == u'?' || c == u'*')) return true;
    }
    return false;
}

// Windows' wildcard rules for the patterns Setup uses: "*" and "*.*" match every name.
bool WildMatch(const std::u16string& pattern, const std::u16string& name) {
    if (pattern == u"*" || pattern == u"*.*") return true;
    size_t p = 0, n = 0, star = std::u16string::npos, mark = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == name[n])) {
            ++p, ++n;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            star = p++, mark = n;
        } else if (star != std::u16string::npos) {
            p = star + 1, n = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') ++p;
    return p == pattern.size();
}

std::u16string NameOf(const fs::path& p) { return FromUtf8(p.filename().string()); }

bool Conflicts(DWORD accessA, DWORD shareA, DWORD accessB, DWORD shareB) {
    auto reads = [](DWORD a) { return (a & (GENERIC_READ | GENERIC_ALL)) != 0; };
    auto writes = [](DWORD a) { return (a & (GENERIC_WRITE | GENERIC_ALL)) != 0; };
    return (reads(accessA) && !(shareB & FILE_SHARE_READ)) || (writes(accessA) && !(shareB & FILE_SHARE_WRITE)) ||
           (reads(accessB) && !(shareA & FILE_SHARE_READ)) || (writes(accessB) && !(shareA & FILE_SHARE_WRITE));
}

}  // namespace

std::FILE* OpenHostFile(const fs::path& path, bool write, bool truncate) {
    if (!fs::exists(path) || truncate) {
        std::ofstream create(path, std::ios::binary | std::ios::app);
        if (!create) return nullptr;
    }
    if (truncate) fs::resize_file(path, 0);
#ifdef _WIN32
    return _wfopen(path.c_str(), write ? L"r+b" : L"rb");
#else
    return std::fopen(path.c_str(), write ? "r+b" : "rb");
#endif
}

bool HostSeek(std::FILE* file, uint64_t position) {
#ifdef _WIN32
    return _fseeki64(file, static_cast<long long>(position), SEEK_SET) == 0;
#else
    return fseeko(file, static_cast<off_t>(position), SEEK_SET) == 0;
#endif
}

namespace {
// Folders under System32 that a 32-bit program on 64-bit Windows sees unredirected.
bool ExemptFromRedirection(const std::vector<std::u16string>& parts, size_t system32) {
    if (parts.size() <= system32 + 1) return false;
    const std::u16string sub = ToUpper(parts[system32 + 1]);
    if (sub == u"CATROOT" || sub == u"CATROOT2" || sub == u"DRIVERSTORE" || sub == u"LOGFILES" || sub == u"SPOOL")
        return true;
    return sub == u"DRIVERS" && parts.size() > system32 + 2 && ToUpper(parts[system32 + 2]) == u"ETC";
}
}  // namespace

// WOW64's file-system redirection: System32 is SysWOW64 to a 32-bit program, and Sysnative
// names the real System32.
void Machine::Redirect(char16_t drive, std::vector<std::u16string>& parts) {
    if (!Wow64()) return;
    const std::u16string& windows = system.windowsFolder;   // C:\Windows
    if (windows.size() < 4 || ToUpper(windows.substr(0, 1))[0] != drive || parts.size() < 2) return;
    if (ToUpper(parts[0]) != ToUpper(windows.substr(3))) return;
    const std::u16string folder = ToUpper(parts[1]);
    if (folder == u"SYSNATIVE") parts[1] = u"System32";
    else if (folder == u"SYSTEM32" && !ExemptFromRedirection(parts, 1)) parts[1] = u"SysWOW64";
}

Machine::ParsedPath Machine::Resolve(const char16_t* path, bool asProcess) {
    ParsedPath out;
    std::u16string p = Str(path);
    if (p.size() < 3 || p.size() >= MAX_PATH || p[1] != u':' || !IsSeparator(p[2])) return out;
    char16_t drive = ToUpper(p.substr(0, 1))[0];
    if (drive < u'A' || drive > u'Z') return out;
    std::vector<std::u16string> parts;
    std::u16string part;
    for (size_t i = 3; i <= p.size(); ++i) {
        if (i == p.size() || IsSeparator(p[i])) {
            if (part == u"..") {
                if (!parts.empty()) parts.pop_back();
            } else if (!part.empty() && part != u".") {
                parts.push_back(part);
            }
            part.clear();
        } else {
            part += p[i];
        }
    }
    if (asProcess) Redirect(drive, parts);
    out.key = std::u16string(1, drive) + u":";
    out.host = root_ / std::string(1, static_cast<char>(drive));
    for (size_t i = 0; i < parts.size(); ++i) {
        if (HasInvalidChar(parts[i], i + 1 == parts.size())) return ParsedPath{};
        out.key += u"\\" + ToUpper(parts[i]);
        fs::path next = out.host / ToUtf8(parts[i]);
        std::error_code ec;
        if (!fs::exists(next, ec) && fs::is_directory(out.host, ec)) {
            std::u16string want = ToUpper(parts[i]);
            for (const auto& entry : fs::directory_iterator(out.host, ec)) {
                if (ToUpper(NameOf(entry.path())) == want) {
                    next = entry.path();
                    break;
                }
            }
        }
        out.host = next;
    }
    if (out.key.size() == 2) out.key += u"\\";
    out.ok = true;
    return out;
}

fs::path Machine::HostPath(const std::u16string& path) { return Resolve(path.c_str()).host; }

void Machine::AddDirectory(const std::u16string& path) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto r = Resolve(path.c_str());
    if (r.ok) fs::create_directories(r.host);
}

void Machine::AddFile(const std::u16string& path, std::string_view bytes, DWORD attributes) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto r = Resolve(path.c_str());
    if (!r.ok) return;
    fs::create_directories(r.host.parent_path());
    std::ofstream(r.host, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    impl_->attributes[r.key] = attributes;
}

std::optional<std::string> Machine::FileBytes(const std::u16string& path) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto r = Resolve(path.c_str());
    std::error_code ec;
    if (!r.ok || !fs::is_regular_file(r.host, ec)) return std::nullopt;
    std::ifstream in(r.host, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Machine::Exists(const std::u16string& path) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto r = Resolve(path.c_str());
    std::error_code ec;
    return r.ok && fs::exists(r.host, ec);
}

void Machine::LockWhileSpoolerRuns(const std::u16string& path, DWORD error) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto r = Resolve(path.c_str());
    if (r.ok) impl_->lockedWhileSpoolerRuns[r.key] = error;
}

HANDLE Machine::CreateFileW(const char16_t* name, DWORD access, DWORD share, DWORD disposition, DWORD) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("CreateFileW")) return INVALID_HANDLE_VALUE;
    std::u16string n = Str(name);
    if (n.rfind(u"\\\\.\\", 0) == 0 || n.rfind(u"\\\\?\\", 0) == 0) {
        int device = -1;
        std::u16string upper = ToUpper(n);
        if (n[2] == u'.') {
            auto it = devices.dosDevices.find(upper.substr(4));
            if (it != devices.dosDevices.end()) device = it->second;
        } else {
            for (size_t d = 0; d < devices.devices.size() && device < 0; ++d) {
                if (!devices.devices[d].present) continue;
                for (const auto& iface : devices.devices[d].interfaces)
                    if (ToUpper(iface.path) == upper) device = static_cast<int>(d);
            }
        }
        if (device < 0 || !devices.devices[static_cast<size_t>(device)].present || disposition != OPEN_EXISTING) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return INVALID_HANDLE_VALUE;
        }
        for (const auto& [h, f] : impl_->files) {
            if (f.device == device && Conflicts(access, share, f.access, f.share)) {
                SetLastError(ERROR_SHARING_VIOLATION);
                return INVALID_HANDLE_VALUE;
            }
        }
        HANDLE h = NewHandle();
        impl_->files[reinterpret_cast<uintptr_t>(h)] = OpenFile{upper, {}, access, share, 0, device, nullptr};
        Event("open device " + ToUtf8(n));
        return h;
    }

    auto r = Resolve(name, true);
    if (!r.ok) {
        SetLastError(ERROR_INVALID_NAME);
        return INVALID_HANDLE_VALUE;
    }
    std::error_code ec;
    if (!fs::is_directory(r.host.parent_path(), ec)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    bool exists = fs::exists(r.host, ec);
    if (exists && fs::is_directory(r.host, ec)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    if (!exists && (disposition == OPEN_EXISTING)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (exists && disposition == CREATE_NEW) {
        SetLastError(ERROR_FILE_EXISTS);
        return INVALID_HANDLE_VALUE;
    }
    bool writing = (access & (GENERIC_WRITE | GENERIC_ALL)) != 0 || disposition == CREATE_ALWAYS;
    if (exists && writing) {
        auto attr = impl_->attributes.find(r.key);
        if (attr != impl_->attributes.end() && (attr->second & FILE_ATTRIBUTE_READONLY)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
        auto locked = impl_->lockedWhileSpoolerRuns.find(r.key);
        if (locked != impl_->lockedWhileSpoolerRuns.end() && SpoolerRunning()) {
            SetLastError(locked->second);
            return INVALID_HANDLE_VALUE;
        }
    }
    for (const auto& [h, f] : impl_->files) {
        if (f.device < 0 && f.key == r.key && Conflicts(access, share, f.access, f.share)) {
            SetLastError(ERROR_SHARING_VIOLATION);
            return INVALID_HANDLE_VALUE;
        }
    }
    std::FILE* fd = OpenHostFile(r.host, (access & (GENERIC_WRITE | GENERIC_ALL)) != 0, disposition == CREATE_ALWAYS);
    if (!fd) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    if (!exists) impl_->attributes[r.key] = FILE_ATTRIBUTE_ARCHIVE;
    HANDLE h = NewHandle();
    impl_->files[reinterpret_cast<uintptr_t>(h)] = OpenFile{r.key, r.host, access, share, 0, -1, fd};
    SetLastError(exists && (disposition == OPEN_ALWAYS || disposition == CREATE_ALWAYS) ? ERROR_ALREADY_EXISTS : 0);
    return h;
}

// An open file of `handle` that allows `access`, its host file placed at the handle's position;
// null with the thread's last error set otherwise.
Machine::OpenFile* Machine::SeekedFile(HANDLE handle, DWORD access) {
    auto it = impl_->files.find(reinterpret_cast<uintptr_t>(handle));
    if (it == impl_->files.end() || !it->second.file || !(it->second.access & (access | GENERIC_ALL))) {
        SetLastError(it == impl_->files.end() ? ERROR_INVALID_HANDLE : ERROR_ACCESS_DENIED);
        return nullptr;
    }
    if (!HostSeek(it->second.file, it->second.position)) {
        SetLastError(ERROR_GEN_FAILURE);
        return nullptr;
    }
    return &it->second;
}

BOOL Machine::ReadFile(HANDLE file, void* buffer, DWORD bytes, DWORD* read) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (read) *read = 0;
    if (Faulted("ReadFile")) return 0;
    OpenFile* open = SeekedFile(file, GENERIC_READ);
    if (!open) return 0;
    std::FILE* f = open->file;
    size_t n = std::fread(buffer, 1, bytes, f);
    open->position += static_cast<uint64_t>(n);
    if (read) *read = static_cast<DWORD>(n);
    return 1;
}

BOOL Machine::WriteFile(HANDLE file, const void* buffer, DWORD bytes, DWORD* written) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (written) *written = 0;
    if (Faulted("WriteFile")) return 0;
    OpenFile* open = SeekedFile(file, GENERIC_WRITE);
    if (!open) return 0;
    std::FILE* f = open->file;
    size_t n = std::fwrite(buffer, 1, bytes, f);
    std::fflush(f);
    open->position += static_cast<uint64_t>(n);
    if (written) *written = static_cast<DWORD>(n);
    return 1;
}

DWORD Machine::SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto it = impl_->files.find(reinterpret_cast<uintptr_t>(file));
    if (it == impl_->files.end() || !it->second.file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_SET_FILE_POINTER;
    }
    int64_t move = distanceHigh ? (static_cast<int64_t>(*distanceHigh) << 32) | static_cast<uint32_t>(distance)
                                : static_cast<int64_t>(distance);
    std::error_code ec;
    auto fileSize = static_cast<int64_t>(fs::file_size(it->second.host, ec));
    int64_t base = method == FILE_BEGIN ? 0 : method == FILE_CURRENT ? static_cast<int64_t>(it->second.position) : fileSize;
    int64_t pos = base + move;
    if (pos < 0) {
        SetLastError(131);   // ERROR_NEGATIVE_SEEK
        return INVALID_SET_FILE_POINTER;
    }
    it->second.position = static_cast<uint64_t>(pos);
    if (distanceHigh) *distanceHigh = static_cast<LONG>(pos >> 32);
    SetLastError(0);
    return static_cast<DWORD>(pos & 0xFFFFFFFF);
}

DWORD Machine::GetFileSize(HANDLE file, DWORD* sizeHigh) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("GetFileSize")) return INVALID_FILE_SIZE;
    auto it = impl_->files.find(reinterpret_cast<uintptr_t>(file));
    if (it == impl_->files.end() || !it->second.file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_FILE_SIZE;
    }
    std::error_code ec;
    uint64_t size = fs::file_size(it->second.host, ec);
    if (sizeHigh) *sizeHigh = static_cast<DWORD>(size >> 32);
    SetLastError(0);
    return static_cast<DWORD>(size & 0xFFFFFFFF);
}

BOOL Machine::CloseHandle(HANDLE handle) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (impl_->processes.erase(reinterpret_cast<uintptr_t>(handle)) ||
        impl_->threads.erase(reinterpret_cast<uintptr_t>(handle)))
        return 1;
    auto it = impl_->files.find(reinterpret_cast<uintptr_t>(handle));
    if (it == impl_->files.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (it->second.file) std::fclose(it->second.file);
    impl_->files.erase(it);
    return 1;
}

// Why an existing file cannot be replaced or removed, if it cannot: read-only or hidden, locked
// by the running spooler, or open by someone (who did not share writing, for an overwrite; at
// all, for a move or a delete, since nothing here opens files sharing deletion). A move over an
// open file is refused as access denied, the others as a sharing violation.
std::optional<DWORD> Machine::ReplaceRefusal(const std::u16string& key, bool overwriteInPlace) {
    auto attr = impl_->attributes.find(key);
    if (attr != impl_->attributes.end() && (attr->second & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN)))
        return ERROR_ACCESS_DENIED;
    auto locked = impl_->lockedWhileSpoolerRuns.find(key);
    if (locked != impl_->lockedWhileSpoolerRuns.end() && SpoolerRunning()) return locked->second;
    for (const auto& [h, f] : impl_->files)
        if (f.device < 0 && f.key == key && (!overwriteInPlace || !(f.share & FILE_SHARE_WRITE)))
            return ERROR_SHARING_VIOLATION;
    return std::nullopt;
}

BOOL Machine::CopyFileW(const char16_t* source, const char16_t* target, BOOL failIfExists) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    std::string what = Utf8(source) + " -> " + Utf8(target) + (failIfExists ? " (fail if exists)" : " (overwrite)");
    auto refuse = [&](DWORD error) {
        SetLastError(error);
        Event("copy refused " + what + " error " + std::to_string(error));
        return 0;
    };
    auto fault = FaultCode("CopyFileW");
    if (fault && !failedCopyWrites) return refuse(*fault);
    auto src = Resolve(source, true);
    auto dst = Resolve(target, true);
    if (!src.ok || !dst.ok) return refuse(ERROR_INVALID_NAME);
    std::error_code ec;
    if (!fs::exists(src.host, ec)) return refuse(fs::is_directory(src.host.parent_path(), ec) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
    if (fs::is_directory(src.host, ec)) return refuse(ERROR_ACCESS_DENIED);
    for (const auto& [h, f] : impl_->files)
        if (f.device < 0 && f.key == src.key && !(f.share & FILE_SHARE_READ)) return refuse(ERROR_SHARING_VIOLATION);
    if (!fs::is_directory(dst.host.parent_path(), ec)) return refuse(ERROR_PATH_NOT_FOUND);
    if (fs::exists(dst.host, ec)) {
        if (failIfExists) return refuse(ERROR_FILE_EXISTS);
        if (fs::is_directory(dst.host, ec)) return refuse(ERROR_ACCESS_DENIED);
        if (auto refusal = ReplaceRefusal(dst.key, true)) return refuse(*refusal);
    }
    {   // by streams: MinGW's filesystem::copy_file cannot overwrite
        std::ifstream in(src.host, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), {});
        if (fault) bytes.resize(std::min(bytes.size(), *failedCopyWrites));   // and then it fails
        std::ofstream out(dst.host, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) return refuse(ERROR_ACCESS_DENIED);
        if (fault) {
            Event("copy broke off " + what + " after " + std::to_string(bytes.size()) + " bytes");
            return refuse(*fault);
        }
    }
    auto attr = impl_->attributes.find(src.key);
    impl_->attributes[dst.key] = attr == impl_->attributes.end() ? FILE_ATTRIBUTE_ARCHIVE : attr->second;
    Event("copy " + what);
    SetLastError(0);
    return 1;
}

BOOL Machine::MoveFileExW(const char16_t* existing, const char16_t* target, DWORD flags) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const bool replace = flags & MOVEFILE_REPLACE_EXISTING;
    std::string what = Utf8(existing) + " -> " + Utf8(target) + (replace ? " (replace)" : "");
    auto refuse = [&](DWORD error) {
        SetLastError(error);
        Event("move refused " + what + " error " + std::to_string(error));
        return 0;
    };
    if (auto code = FaultCode("MoveFileExW")) return refuse(*code);
    auto src = Resolve(existing, true);
    auto dst = Resolve(target, true);
    if (!src.ok || !dst.ok) return refuse(ERROR_INVALID_NAME);
    std::error_code ec;
    if (!fs::is_regular_file(src.host, ec)) return refuse(ERROR_FILE_NOT_FOUND);
    if (auto refusal = ReplaceRefusal(src.key, false); refusal && *refusal == ERROR_SHARING_VIOLATION)
        return refuse(*refusal);
    if (!fs::is_directory(dst.host.parent_path(), ec)) return refuse(ERROR_PATH_NOT_FOUND);
    if (fs::exists(dst.host, ec) && src.key != dst.key) {
        if (!replace) return refuse(ERROR_ALREADY_EXISTS);
        if (fs::is_directory(dst.host, ec)) return refuse(ERROR_ACCESS_DENIED);
        if (auto refusal = ReplaceRefusal(dst.key, false))
            return refuse(*refusal == ERROR_SHARING_VIOLATION && !impl_->lockedWhileSpoolerRuns.count(dst.key)
                              ? ERROR_ACCESS_DENIED
                              : *refusal);
    }
    fs::rename(src.host, dst.host, ec);
    if (ec) return refuse(ERROR_ACCESS_DENIED);
    auto attr = impl_->attributes.find(src.key);
    DWORD attributes = attr == impl_->attributes.end() ? FILE_ATTRIBUTE_ARCHIVE : attr->second;
    impl_->attributes.erase(src.key);
    impl_->attributes[dst.key] = attributes;
    Event("move " + what);
    SetLastError(0);
    return 1;
}

BOOL Machine::DeleteFileW(const char16_t* name) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto refuse = [&](DWORD error) {
        SetLastError(error);
        Event("delete refused " + Utf8(name) + " error " + std::to_string(error));
        return 0;
    };
    if (auto code = FaultCode("DeleteFileW")) return refuse(*code);
    auto r = Resolve(name, true);
    std::error_code ec;
    if (!r.ok) return refuse(ERROR_INVALID_NAME);
    if (!fs::exists(r.host, ec)) return refuse(fs::is_directory(r.host.parent_path(), ec) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
    if (fs::is_directory(r.host, ec)) return refuse(ERROR_ACCESS_DENIED);
    if (auto refusal = ReplaceRefusal(r.key, false)) return refuse(*refusal);
    fs::remove(r.host, ec);
    if (ec) return refuse(ERROR_ACCESS_DENIED);
    impl_->attributes.erase(r.key);
    Event("delete " + Utf8(name));
    SetLastError(0);
    return 1;
}

DWORD Machine::GetFileAttributesW(const char16_t* name) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("GetFileAttributesW")) return INVALID_FILE_ATTRIBUTES;
    auto r = Resolve(name, true);
    std::error_code ec;
    if (!r.ok || !fs::exists(r.host, ec)) {
        SetLastError(r.ok && fs::is_directory(r.host.parent_path(), ec) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    bool dir = fs::is_directory(r.host, ec);
    auto it = impl_->attributes.find(r.key);
    DWORD a = it != impl_->attributes.end() ? it->second : dir ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    return dir ? (a | FILE_ATTRIBUTE_DIRECTORY) : (a & ~FILE_ATTRIBUTE_DIRECTORY);
}

BOOL Machine::SetFileAttributesW(const char16_t* name, DWORD attributes) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("SetFileAttributesW")) return 0;
    auto r = Resolve(name, true);
    std::error_code ec;
    if (!r.ok || !fs::exists(r.host, ec)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    bool dir = fs::is_directory(r.host, ec);
    attributes &= ~FILE_ATTRIBUTE_DIRECTORY;
    if (attributes == 0 && !dir) attributes = FILE_ATTRIBUTE_NORMAL;
    impl_->attributes[r.key] = dir ? (attributes | FILE_ATTRIBUTE_DIRECTORY) : attributes;
    Event("attributes " + Utf8(name) + " " + std::to_string(attributes));
    return 1;
}

HANDLE Machine::FindFirstFileW(const char16_t* pattern, WIN32_FIND_DATAW* data) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("FindFirstFileW")) return INVALID_HANDLE_VALUE;
    std::u16string p = Str(pattern);
    size_t cut = p.find_last_of(u"\\/");
    if (cut == std::u16string::npos) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::u16string last = p.substr(cut + 1);
    auto dir = Resolve((p.substr(0, cut) + u"\\").c_str(), true);
    std::error_code ec;
    if (!dir.ok || !fs::is_directory(dir.host, ec)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    FindState state;
    auto add = [&](const std::u16string& name, const fs::path& host, const std::u16string& key) {
        WIN32_FIND_DATAW d{};
        bool isDir = fs::is_directory(host, ec);
        auto it = impl_->attributes.find(key);
        d.dwFileAttributes = it != impl_->attributes.end() ? it->second : isDir ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
        if (isDir) d.dwFileAttributes |= FILE_ATTRIBUTE_DIRECTORY;
        uint64_t size = isDir ? 0 : fs::file_size(host, ec);
        d.nFileSizeHigh = static_cast<DWORD>(size >> 32);
        d.nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFF);
        std::copy_n(name.begin(), std::min<size_t>(name.size(), MAX_PATH - 1), d.cFileName);
        state.entries.push_back(d);
    };
    std::u16string upperPattern = ToUpper(last);
    bool isRoot = dir.key.size() == 3;
    if (!isRoot) {
        for (const char16_t* dot : {u".", u".."})
            if (WildMatch(upperPattern, dot)) add(dot, dir.host, dir.key);
    }
    std::vector<std::pair<std::u16string, fs::path>> names;
    for (const auto& entry : fs::directory_iterator(dir.host, ec)) names.push_back({NameOf(entry.path()), entry.path()});
    std::sort(names.begin(), names.end(), [](const auto& a, const auto& b) { return ToUpper(a.first) < ToUpper(b.first); });
    std::u16string base = dir.key.back() == u'\\' ? dir.key : dir.key + u"\\";
    for (const auto& [name, host] : names)
        if (WildMatch(upperPattern, ToUpper(name))) add(name, host, base + ToUpper(name));
    if (state.entries.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    *data = state.entries[0];
    state.next = 1;
    HANDLE h = NewHandle();
    impl_->finds[reinterpret_cast<uintptr_t>(h)] = std::move(state);
    return h;
}

BOOL Machine::FindNextFileW(HANDLE find, WIN32_FIND_DATAW* data) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("FindNextFileW")) return 0;
    auto it = impl_->finds.find(reinterpret_cast<uintptr_t>(find));
    if (it == impl_->finds.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (it->second.next >= it->second.entries.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return 0;
    }
    *data = it->second.entries[it->second.next++];
    return 1;
}

BOOL Machine::FindClose(HANDLE find) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!impl_->finds.erase(reinterpret_cast<uintptr_t>(find))) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return 1;
}

BOOL Machine::CreateDirectoryW(const char16_t* path) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("CreateDirectoryW")) return 0;
    auto r = Resolve(path, true);
    std::error_code ec;
    if (!r.ok) {
        SetLastError(ERROR_INVALID_NAME);
        return 0;
    }
    if (fs::exists(r.host, ec)) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return 0;
    }
    if (!fs::is_directory(r.host.parent_path(), ec)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return 0;
    }
    fs::create_directory(r.host, ec);
    return 1;
}

}  // namespace sim
