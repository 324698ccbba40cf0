#include "engine/pnp.h"

#include <algorithm>

#include "detect/sysinfo.h"
#include "engine/package.h"
#include "platform/text.h"

namespace engine {

using plat::DWORD;

class CInfFileHelper::Source {
public:
    virtual ~Source() = default;
    virtual size_t Read(char* into, size_t max) = 0;   // 0 at the end or on a failure
    virtual void Rewind() = 0;
};

namespace {

constexpr size_t kReadChunk = 4096;
constexpr DWORD kMaxDevices = 65536;   // a device walk that never ends is cut here
constexpr size_t kMaxHardwareIdUnits = 1999;

class FileSource final : public CInfFileHelper::Source {
public:
    FileSource(plat::IFiles& files, plat::HANDLE h) : files_(files), h_(h) {}
    ~FileSource() override { files_.CloseHandle(h_); }
    size_t Read(char* into, size_t max) override {
        DWORD got = 0;
        if (!files_.ReadFile(h_, into, static_cast<DWORD>(max), &got)) return 0;
        return got;
    }
    void Rewind() override { files_.SetFilePointer(h_, 0, nullptr, plat::FILE_BEGIN); }

private:
    plat::IFiles& files_;
    plat::HANDLE h_;
};

class MemorySource final : public CInfFileHelper::Source {
public:
    explicit MemorySource(std::string bytes) : bytes_(std::move(bytes)) {}
    size_t Read(char* into, size_t max) override {
        size_t n = std::min(max, bytes_.size() - at_);
        std::copy_n(bytes_.data() + at_, n, into);
        at_ += n;
        return n;
    }
    void Rewind() override { at_ = 0; }

private:
    std::string bytes_;
    size_t at_ = 0;
};

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f'; }

std::u16string Trim(std::u16string_view s) {
    size_t a = 0, b = s.size();
    while (a < b && IsSpace(s[a])) ++a;
    while (b > a && IsSpace(s[b - 1])) --b;
    return std::u16string(s.substr(a, b - a));
}

DWORD LastErrorOr(plat::ISystem& sys, DWORD fallback) {
    DWORD e = sys.GetLastError();
    return e ? e : fallback;
}

}  // namespace

CInfFileHelper::CInfFileHelper(const plat::Platform& p) : p_(p) {}
CInfFileHelper::~CInfFileHelper() = default;

bool CInfFileHelper::Open(const std::u16string& path) {
    Close();
    plat::HANDLE h = p_.files.CreateFileW(path.c_str(), plat::GENERIC_READ, plat::FILE_SHARE_READ | plat::FILE_SHARE_WRITE,
                                          plat::OPEN_EXISTING, 0);
    if (h == plat::INVALID_HANDLE_VALUE) return false;
    source_ = std::make_unique<FileSource>(p_.files, h);
    Rewind();
    return true;
}

void CInfFileHelper::OpenBytes(std::string bytes) {
    Close();
    source_ = std::make_unique<MemorySource>(std::move(bytes));
    Rewind();
}

void CInfFileHelper::Close() {
    source_.reset();
    buffer_.clear();
    pos_ = 0;
    eof_ = true;
}

void CInfFileHelper::Rewind() {
    buffer_.clear();
    pos_ = 0;
    eof_ = !source_;
    encoding_ = Encoding::Ansi;
    if (!source_) return;
    source_->Rewind();
    // Fill until the byte-order mark can be told, then step over it.
    while (!eof_ && buffer_.size() < 3) {
        char chunk[kReadChunk];
        size_t n = source_->Read(chunk, sizeof chunk);
        if (n == 0) eof_ = true;
        buffer_.append(chunk, n);
    }
    if (buffer_.compare(0, 2, "\xFF\xFE") == 0) {
        encoding_ = Encoding::Utf16;
        pos_ = 2;
    } else if (buffer_.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        encoding_ = Encoding::Utf8;
        pos_ = 3;
    }
}

bool CInfFileHelper::ReadLine(std::u16string& line) {
    line.clear();
    if (!source_) return false;
    for (;;) {
        size_t end = std::string::npos, next = 0;
        if (encoding_ == Encoding::Utf16) {
            for (size_t i = pos_; i + 1 < buffer_.size(); i += 2)
                if (buffer_[i] == '\n' && buffer_[i + 1] == 0) {
                    end = i;
                    next = i + 2;
                    break;
                }
        } else {
            end = buffer_.find('\n', pos_);
            next = end + 1;
        }
        if (end == std::string::npos && eof_) {
            if (pos_ >= buffer_.size()) return false;
            end = next = buffer_.size();
        }
        if (end != std::string::npos) {
            std::string_view bytes(buffer_.data() + pos_, end - pos_);
            if (encoding_ == Encoding::Utf16) {
                for (size_t i = 0; i + 1 < bytes.size(); i += 2)
                    line += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                  (static_cast<unsigned char>(bytes[i + 1]) << 8));
            } else if (encoding_ == Encoding::Utf8) {
                line = plat::FromUtf8(bytes);
            } else if (!bytes.empty()) {
                line = plat::AnsiToText(p_.sys, bytes.data(), bytes.size());
            }
            if (!line.empty() && line.back() == u'\r') line.pop_back();
            pos_ = next;
            return true;
        }
        buffer_.erase(0, pos_);
        pos_ = 0;
        char chunk[kReadChunk];
        size_t n = source_->Read(chunk, sizeof chunk);
        if (n == 0) eof_ = true;
        buffer_.append(chunk, n);
    }
}

bool CInfFileHelper::SeekSection(const std::u16string& headerText) {
    Rewind();
    std::u16string line;
    while (ReadLine(line))
        if (plat::Contains(line, headerText)) return true;
    return false;
}

bool CInfFileHelper::ReadSection(std::vector<std::u16string>& list, char16_t separator) {
    std::u16string line;
    while (ReadLine(line)) {
        std::u16string text = Trim(line);
        if (text.empty() || text[0] == u';') continue;
        if (plat::Contains(text, u"[")) break;
        size_t at = text.find(separator);
        if (at != std::u16string::npos) list.push_back(Trim(std::u16string_view(text).substr(at + 1)));
    }
    return true;
}

bool CInfFileHelper::GetManufacturerEntries(std::vector<std::u16string>& list) {
    list.clear();
    return SeekSection(u"[Manufacturer]") && ReadSection(list, u'=');
}

bool CInfFileHelper::GetModelHardwareIds(std::vector<std::u16string>& list) {
    list.clear();
    const char16_t* header = detect::IsNative64Bit(p_) ? u"[Halvorin_Tech.NTamd64]" : u"[Halvorin_Tech]";
    return SeekSection(header) && ReadSection(list, u',');
}

bool MatchHardwareId(const std::vector<std::u16string>& infIds, const std::u16string& deviceId) {
    std::u16string device = plat::ToUpper(deviceId);
    for (const auto& id : infIds) {
        std::u16string inf = plat::ToUpper(id);
        if (!plat::Contains(device, inf)) continue;
        if (device.size() <= inf.size()) return true;
        char16_t next = device[inf.size()];
        if (next == u'&' || next == u'-' || next == u'#' || next == u'_') return true;
    }
    return false;
}

bool CDriverSetupHelper::UpdateDriverForHardwareId(const std::u16string& infPath, const std::u16string& hardwareId) {
    DWORD attributes = env_.p.files.GetFileAttributesW(infPath.c_str());
    if (attributes == plat::INVALID_FILE_ATTRIBUTES || (attributes & plat::FILE_ATTRIBUTE_DIRECTORY)) return false;
    if (IsHardwareIdPresent(hardwareId)) {
        plat::BOOL reboot = 0;   // a reboot request is not passed on
        return env_.p.devsetup.UpdateDriverForPlugAndPlayDevicesW(nullptr, hardwareId.c_str(), infPath.c_str(),
                                                                  plat::INSTALLFLAG_FORCE, &reboot) != 0;
    }
    return InstallRootDevice(infPath, hardwareId);
}

bool CDriverSetupHelper::IsHardwareIdPresent(const std::u16string& hardwareId) {
    plat::IDeviceSetup& ds = env_.p.devsetup;
    plat::HDEVINFO set = ds.SetupDiGetClassDevsW(nullptr, nullptr, nullptr, plat::DIGCF_ALLCLASSES | plat::DIGCF_PRESENT);
    if (set == plat::INVALID_HANDLE_VALUE) return false;
    bool found = false;
    DWORD error = 0;
    for (DWORD index = 0; !found && index < kMaxDevices; ++index) {
        plat::SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        if (!ds.SetupDiEnumDeviceInfo(set, index, &device)) {
            error = env_.p.sys.GetLastError();
            break;
        }
        // Size first; a device without the property is passed over, any other failure ends
        // the search. Two zero units after the reported size keep the walk inside the buffer.
        std::vector<char16_t> ids;
        bool next = false, end = false;
        for (int attempt = 0;; ++attempt) {
            DWORD type = 0, required = 0;
            DWORD room = ids.empty() ? 0 : static_cast<DWORD>((ids.size() - 2) * 2);
            if (ds.SetupDiGetDeviceRegistryPropertyW(set, &device, plat::SPDRP_HARDWAREID, &type,
                                                     ids.empty() ? nullptr : reinterpret_cast<plat::BYTE*>(ids.data()),
                                                     room, &required))
                break;
            DWORD e = env_.p.sys.GetLastError();
            if (e == plat::ERROR_INVALID_DATA) {
                next = true;
                break;
            }
            if (e == plat::ERROR_INSUFFICIENT_BUFFER && attempt < 3 && required > room) {
                ids.assign((required + 1) / 2 + 2, 0);
                continue;
            }
            error = e;
            end = true;
            break;
        }
        if (end) break;
        if (next) continue;
        for (size_t at = 0; at < ids.size() && ids[at] != 0;) {
            size_t stop = at;
            while (stop < ids.size() && ids[stop] != 0) ++stop;
            if (std::u16string_view(ids.data() + at, stop - at) == hardwareId) {
                found = true;
                break;
            }
            at = stop + 1;
        }
    }
    ds.SetupDiDestroyDeviceInfoList(set);
    // The answer is the comparison itself: a successful call need not reset the last error.
    env_.p.sys.SetLastError(found ? 0 : error);
    return found;
}

bool CDriverSetupHelper::InstallRootDevice(const std::u16string& infPath, const std::u16string& hardwareId) {
    plat::IDeviceSetup& ds = env_.p.devsetup;
    plat::ISystem& sys = env_.p.sys;
    plat::GUID classGuid{};
    char16_t className[plat::MAX_PATH] = {};
    DWORD required = 0;
    if (!ds.SetupDiGetINFClassW(infPath.c_str(), &classGuid, className, plat::MAX_PATH, &required)) return false;
    plat::HDEVINFO set = ds.SetupDiCreateDeviceInfoList(&classGuid, nullptr);
    if (set == plat::INVALID_HANDLE_VALUE) return false;

    bool ok = false;
    DWORD error = 0;
    plat::SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    std::u16string name = plat::FromBuffer(className, plat::MAX_PATH);
    std::u16string ids = hardwareId + u'\0' + u'\0';
    if (hardwareId.size() > kMaxHardwareIdUnits) {
        error = plat::ERROR_INVALID_PARAMETER;
    } else if (!ds.SetupDiCreateDeviceInfoW(set, name.c_str(), &classGuid, nullptr, nullptr, plat::DICD_GENERATE_ID,
                                            &device) ||
               !ds.SetupDiSetDeviceRegistryPropertyW(set, &device, plat::SPDRP_HARDWAREID,
                                                     reinterpret_cast<const plat::BYTE*>(ids.data()),
                                                     static_cast<DWORD>(ids.size() * 2)) ||
               !ds.SetupDiCallClassInstaller(plat::DIF_REGISTERDEVICE, set, &device)) {
        error = LastErrorOr(sys, plat::ERROR_GEN_FAILURE);
    } else {
        plat::BOOL reboot = 0;
        if (ds.UpdateDriverForPlugAndPlayDevicesW(nullptr, hardwareId.c_str(), infPath.c_str(), plat::INSTALLFLAG_FORCE,
                                                  &reboot)) {
            ok = true;
        } else {
            error = LastErrorOr(sys, plat::ERROR_GEN_FAILURE);
            ds.SetupDiCallClassInstaller(plat::DIF_REMOVE, set, &device);   // no device without a driver is left
        }
    }
    ds.SetupDiDestroyDeviceInfoList(set);
    sys.SetLastError(ok ? 0 : error);
    return ok;
}

void CPnpInstaller::Clear() {
    if (deviceSet_ != plat::INVALID_HANDLE_VALUE && deviceSet_ != nullptr)
        env_.p.devsetup.SetupDiDestroyDeviceInfoList(deviceSet_);
    deviceSet_ = plat::INVALID_HANDLE_VALUE;
    infPath_.clear();
    matchedHardwareId_.clear();
}

bool CPnpInstaller::FindMatchingDevice(const std::u16string& infPath) {
    Clear();
    std::vector<std::u16string> infIds;
    {
        CInfFileHelper inf(env_.p);
        if (!inf.Open(infPath)) return false;
        std::vector<std::u16string> manufacturers;
        inf.GetManufacturerEntries(manufacturers);
        for (size_t i = 0; i < manufacturers.size(); ++i) {
            std::vector<std::u16string> ids;
            inf.GetModelHardwareIds(ids);
            infIds.insert(infIds.end(), ids.begin(), ids.end());
        }
    }
    infPath_ = infPath;

    plat::IDeviceSetup& ds = env_.p.devsetup;
    plat::GUID classGuid{};
    char16_t className[plat::MAX_PATH] = {};
    DWORD required = 0;
    if (!ds.SetupDiGetINFClassW(infPath.c_str(), &classGuid, className, plat::MAX_PATH, &required)) return false;
    deviceSet_ = ds.SetupDiGetClassDevsW(nullptr, nullptr, nullptr,
                                         plat::DIGCF_PRESENT | plat::DIGCF_ALLCLASSES | plat::DIGCF_PROFILE);
    if (deviceSet_ == plat::INVALID_HANDLE_VALUE) return false;

    // Every device is looked at: the last one that matches wins.
    for (DWORD index = 0; index < kMaxDevices; ++index) {
        plat::SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        if (!ds.SetupDiEnumDeviceInfo(deviceSet_, index, &device)) break;
        char16_t ids[1000 + 2] = {};   // 2000 bytes and a terminator the property need not bring
        DWORD type = 0;
        if (!ds.SetupDiGetDeviceRegistryPropertyW(deviceSet_, &device, plat::SPDRP_HARDWAREID, &type,
                                                  reinterpret_cast<plat::BYTE*>(ids), 2000, &required))
            continue;
        std::u16string first = plat::FromBuffer(ids, 1000);
        if (!first.empty() && MatchHardwareId(infIds, first)) matchedHardwareId_ = first;
    }
    return !matchedHardwareId_.empty();
}

bool CPnpInstaller::InstallOnDevice() {
    if (matchedHardwareId_.empty()) {
        CInfFileHelper inf(env_.p);
        if (!inf.Open(infPath_)) return false;
        std::vector<std::u16string> manufacturers;
        inf.GetManufacturerEntries(manufacturers);
        for (size_t i = 0; i < manufacturers.size() && matchedHardwareId_.empty(); ++i) {
            std::vector<std::u16string> ids;
            inf.GetModelHardwareIds(ids);
            if (!ids.empty()) matchedHardwareId_ = ids.front();
        }
        if (matchedHardwareId_.empty()) return false;
    }
    plat::HANDLE previous = env_.p.user.SetCursor(env_.p.user.LoadCursorW(plat::IDC_WAIT));
    bool ok = CDriverSetupHelper(env_).UpdateDriverForHardwareId(infPath_, matchedHardwareId_);
    env_.p.user.SetCursor(previous);
    return ok;
}

bool InstallByPlugAndPlay(const Env& env, int family) {
    auto inf = GetInfPath(env.p, family);
    if (!inf) return false;
    CPnpInstaller pnp(env);
    return pnp.FindMatchingDevice(inf->path) && pnp.InstallOnDevice();
}

}  // namespace engine
