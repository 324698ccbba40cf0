// Driver installation of the simulated machine: INF classes, INF staging, root-enumerated
// devices through the class installer, and plug-and-play driver updates (which, for a printer
// INF, make the class installer create the queue, as Windows does).
#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>

#include "impl.h"
#include "platform/text.h"

namespace sim {
using namespace plat;

namespace {
constexpr DWORD ERROR_INVALID_USER_BUFFER = 1784;
constexpr DWORD ERROR_INVALID_DEVINST_NAME = 0xE0000205;
constexpr DWORD ERROR_INVALID_CLASS = 0xE0000206;
constexpr DWORD ERROR_DEVINST_ALREADY_EXISTS = 0xE0000207;
constexpr DWORD ERROR_INVALID_REG_PROPERTY = 0xE0000209;
constexpr DWORD ERROR_DI_DO_DEFAULT = 0xE000020E;

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string Trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos) return {};
    size_t b = s.find_last_not_of(" \t\r\n");
    return s.substr(a, b - a + 1);
}

std::string Unquote(std::string s) {
    s = Trim(s);
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"') s = s.substr(1, s.size() - 2);
    return s;
}

// An INF as sections of lines (comments dropped), enough for what Windows reads here.
struct Inf {
    std::map<std::string, std::vector<std::string>> sections;   // upper-case names

    static Inf Parse(const std::string& raw) {
        std::string text;
        if (raw.size() >= 2 && static_cast<unsigned char>(raw[0]) == 0xFF && static_cast<unsigned char>(raw[1]) == 0xFE) {
            for (size_t i = 2; i + 1 < raw.size(); i += 2) text += raw[i + 1] ? '?' : raw[i];   // UTF-16: ASCII is enough
        } else {
            text = raw.compare(0, 3, "\xEF\xBB\xBF") == 0 ? raw.substr(3) : raw;
        }
        Inf inf;
        std::vector<std::string>* current = nullptr;
        size_t start = 0;
        while (start <= text.size()) {
            size_t end = text.find('\n', start);
            std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
            start = end == std::string::npos ? text.size() + 1 : end + 1;
            bool quoted = false;
            for (size_t i = 0; i < line.size(); ++i) {
                if (line[i] == '"') quoted = !quoted;
                if (line[i] == ';' && !quoted) {
                    line.resize(i);
                    break;
                }
            }
            line = Trim(line);
            if (line.empty()) continue;
            if (line.front() == '[') {
                size_t close = line.find(']');
                current = &inf.sections[Upper(Trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1)))];
            } else if (current) {
                current->push_back(line);
            }
        }
        return inf;
    }

    const std::vector<std::string>* Section(const std::string& name) const {
        auto it = sections.find(Upper(name));
        return it == sections.end() ? nullptr : &it->second;
    }

    std::optional<std::string> Value(const std::string& section, const std::string& key) const {
        const auto* lines = Section(section);
        if (!lines) return std::nullopt;
        for (const auto& line : *lines) {
            size_t eq = line.find('=');
            if (eq != std::string::npos && Upper(Trim(line.substr(0, eq))) == Upper(key))
                return Expand(Unquote(line.substr(eq + 1)));
        }
        return std::nullopt;
    }

    std::string Expand(const std::string& s) const {
        if (s.size() > 2 && s.front() == '%' && s.back() == '%') {
            if (auto v = Value("Strings", s.substr(1, s.size() - 2))) return *v;
        }
        return s;
    }

    // The model line (description, install section) whose hardware IDs hold `id`.
    std::optional<std::pair<std::string, std::string>> Model(const std::string& id) const {
        for (const auto& [name, lines] : sections) {
            if (name == "STRINGS" || name == "VERSION") continue;
            for (const auto& line : lines) {
                size_t eq = line.find('=');
                if (eq == std::string::npos) continue;
                std::string rest = line.substr(eq + 1);
                size_t comma = rest.find(',');
                if (comma == std::string::npos) continue;
                std::string ids = rest.substr(comma + 1);
                for (size_t a = 0; a <= ids.size();) {
                    size_t b = ids.find(',', a);
                    std::string one = Trim(ids.substr(a, b == std::string::npos ? std::string::npos : b - a));
                    if (Upper(one) == Upper(id)) return std::make_pair(Expand(Unquote(line.substr(0, eq))), Trim(rest.substr(0, comma)));
                    if (b == std::string::npos) break;
                    a = b + 1;
                }
            }
        }
        return std::nullopt;
    }
};

bool ParseGuid(const std::string& text, GUID& guid) {
    std::string s = Trim(text);
    if (s.size() != 38 || s.front() != '{' || s.back() != '}') return false;
    unsigned long d1;
    unsigned d2, d3, b[8];
    if (std::sscanf(s.c_str(), "{%8lx-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x}", &d1, &d2, &d3, &b[0], &b[1], &b[2], &b[3],
                    &b[4], &b[5], &b[6], &b[7]) != 11)
        return false;
    guid.Data1 = static_cast<uint32_t>(d1);
    guid.Data2 = static_cast<uint16_t>(d2);
    guid.Data3 = static_cast<uint16_t>(d3);
    for (int i = 0; i < 8; ++i) guid.Data4[i] = static_cast<uint8_t>(b[i]);
    return true;
}

std::string Ids(const std::vector<std::u16string>& ids) {
    std::string out = "[";
    for (size_t i = 0; i < ids.size(); ++i) out += (i ? ", " : "") + ToUtf8(ids[i]);
    return out + "]";
}

}  // namespace

// The bytes of a file of the simulated machine, or nullopt (with the error set) when missing.
static std::optional<std::string> ReadMachineFile(Machine& m, const char16_t* path) {
    auto r = m.Resolve(path, true);
    std::error_code ec;
    if (!r.ok || !std::filesystem::is_regular_file(r.host, ec)) {
        m.SetLastError(r.ok && std::filesystem::is_directory(r.host.parent_path(), ec) ? ERROR_FILE_NOT_FOUND
                                                                                        : ERROR_PATH_NOT_FOUND);
        return std::nullopt;
    }
    std::ifstream in(r.host, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

BOOL Machine::SetupDiGetINFClassW(const char16_t* infPath, GUID* classGuid, char16_t* className, DWORD size,
                                  DWORD* required) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("SetupDiGetINFClassW")) return 0;
    auto bytes = ReadMachineFile(*this, infPath);
    if (!bytes) return 0;
    Inf inf = Inf::Parse(*bytes);
    auto name = inf.Value("Version", "Class");
    auto guidText = inf.Value("Version", "ClassGUID");
    GUID guid{};
    bool haveGuid = guidText && ParseGuid(*guidText, guid);
    if (!haveGuid && name) {
        if (Upper(*name) == "PRINTER") guid = GUID_DEVCLASS_PRINTER, haveGuid = true;
        if (Upper(*name) == "PORTS") guid = GUID_DEVCLASS_PORTS, haveGuid = true;
    }
    if (!name && !haveGuid) {
        SetLastError(ERROR_INVALID_CLASS);
        return 0;
    }
    std::u16string text = FromUtf8(name ? *name : std::string());
    if (required) *required = static_cast<DWORD>(text.size() + 1);
    if (!className || size < text.size() + 1) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::copy(text.begin(), text.end(), className);
    className[text.size()] = 0;
    if (classGuid) *classGuid = guid;
    return 1;
}

HDEVINFO Machine::SetupDiCreateDeviceInfoList(const GUID* classGuid, HWND) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("SetupDiCreateDeviceInfoList")) return INVALID_HANDLE_VALUE;
    DeviceSet set;
    if (classGuid) set.classGuid = *classGuid;
    HANDLE h = NewHandle();
    impl_->deviceSets[reinterpret_cast<uintptr_t>(h)] = std::move(set);
    return h;
}

BOOL Machine::SetupDiCreateDeviceInfoW(HDEVINFO set, const char16_t* name, const GUID* classGuid, const char16_t*,
                                       HWND, DWORD flags, SP_DEVINFO_DATA* device) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("SetupDiCreateDeviceInfoW")) return 0;
    auto it = impl_->deviceSets.find(reinterpret_cast<uintptr_t>(set));
    if (it == impl_->deviceSets.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    std::u16string base = Str(name);
    if (base.empty() || !classGuid) {
        SetLastError(base.empty() ? ERROR_INVALID_DEVINST_NAME : ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (device && device->cbSize != sizeof(SP_DEVINFO_DATA)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return 0;
    }
    auto taken = [&](const std::u16string& id) {
        return std::any_of(devices.devices.begin(), devices.devices.end(),
                           [&](const SimDevice& d) { return ToUpper(d.instanceId) == ToUpper(id); });
    };
    std::u16string id;
    if (flags & DICD_GENERATE_ID) {
        for (int n = 0; n < 10000 && (id.empty() || taken(id)); ++n) {
            char16_t digits[5];
            for (int k = 3, v = n; k >= 0; --k, v /= 10) digits[k] = static_cast<char16_t>(u'0' + v % 10);
            digits[4] = 0;
            id = u"ROOT\\" + ToUpper(base) + u"\\" + digits;
        }
    } else {
        id = base;
    }
    if (taken(id)) {
        SetLastError(ERROR_DEVINST_ALREADY_EXISTS);
        return 0;
    }
    SimDevice dev;
    dev.instanceId = id;
    dev.classGuid = *classGuid;
    dev.className = base;
    dev.present = false;
    dev.registered = false;
    dev.rootEnumerated = true;
    dev.queuePort.clear();
    int index = devices.AddDevice(dev);
    it->second.devices.push_back(index);
    if (device) {
        device->ClassGuid = *classGuid;
        device->DevInst = static_cast<DWORD>(index + 1);
        device->Reserved = 0;
    }
    Event("device created " + ToUtf8(id));
    return 1;
}

BOOL Machine::SetupDiSetDeviceRegistryPropertyW(HDEVINFO set, SP_DEVINFO_DATA* device, DWORD property,
                                                const BYTE* buffer, DWORD size) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("SetupDiSetDeviceRegistryPropertyW")) return 0;
    auto it = impl_->deviceSets.find(reinterpret_cast<uintptr_t>(set));
    if (it == impl_->deviceSets.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (!device || device->cbSize != sizeof(SP_DEVINFO_DATA) || device->DevInst == 0 ||
        device->DevInst > devices.devices.size()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    SimDevice& dev = devices.devices[device->DevInst - 1];
    std::u16string units(size / 2, u'\0');
    if (buffer && size) std::memcpy(units.data(), buffer, units.size() * 2);
    if (property == SPDRP_HARDWAREID) {
        std::vector<std::u16string> ids;
        for (size_t a = 0; a < units.size();) {
            size_t z = units.find(u'\0', a);
            if (z == std::u16string::npos) z = units.size();
            if (z == a) break;
            ids.push_back(units.substr(a, z - a));
            a = z + 1;
        }
        dev.hardwareIds = ids;
    } else if (property == SPDRP_FRIENDLYNAME) {
        dev.friendlyName = units.substr(0, units.find(u'\0'));
    } else {
        SetLastError(ERROR_INVALID_REG_PROPERTY);
        return 0;
    }
    return 1;
}

BOOL Machine::SetupDiCallClassInstaller(DWORD function, HDEVINFO set, SP_DEVINFO_DATA* device) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("SetupDiCallClassInstaller")) return 0;
    if (Wow64()) {   // device installation is the native programs' on 64-bit Windows
        Event("class installer refused to a 32-bit program, function " + std::to_string(function));
        SetLastError(ERROR_IN_WOW64);
        return 0;
    }
    auto it = impl_->deviceSets.find(reinterpret_cast<uintptr_t>(set));
    if (it == impl_->deviceSets.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (!device || device->DevInst == 0 || device->DevInst > devices.devices.size() ||
        std::find(it->second.devices.begin(), it->second.devices.end(), static_cast<int>(device->DevInst - 1)) ==
            it->second.devices.end()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    SimDevice& dev = devices.devices[device->DevInst - 1];
    if (function == DIF_REGISTERDEVICE) {
        dev.registered = true;
        dev.present = true;
        Event("device registered " + ToUtf8(dev.instanceId) + " hardware IDs " + Ids(dev.hardwareIds));
        return 1;
    }
    if (function == DIF_REMOVE) {
        dev.registered = false;
        dev.present = false;
        Event("device removed " + ToUtf8(dev.instanceId));
        return 1;
    }
    SetLastError(ERROR_DI_DO_DEFAULT);
    return 0;
}

BOOL Machine::SetupCopyOEMInfW(const char16_t* infPath, const char16_t*, DWORD, DWORD, char16_t* destination,
                               DWORD destinationSize, DWORD* required, char16_t** destinationComponent) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (destinationComponent) *destinationComponent = nullptr;
    if (Faulted("SetupCopyOEMInfW")) return 0;
    auto bytes = ReadMachineFile(*this, infPath);
    if (!bytes) {
        Event("inf staging refused " + Utf8(infPath) + " error " + std::to_string(GetLastError()));
        return 0;
    }
    // Without [Version] and its signature the file is no INF to the driver store.
    auto signature = Inf::Parse(*bytes).Value("Version", "Signature");
    if (!signature) {
        Event("inf staging refused " + Utf8(infPath) + " error " + std::to_string(ERROR_GENERAL_SYNTAX));
        SetLastError(ERROR_GENERAL_SYNTAX);
        return 0;
    }
    std::u16string published;
    for (const auto& staged : devices.stagedInfs)
        if (staged.bytes == *bytes) published = staged.published;   // the same INF is staged once
    if (published.empty()) {
        auto taken = [&](const std::u16string& candidate) {
            return std::any_of(devices.stagedInfs.begin(), devices.stagedInfs.end(),
                               [&](const auto& st) { return ToUpper(st.published) == ToUpper(candidate); });
        };
        std::u16string source = Str(infPath);
        std::u16string own = u"C:\\Windows\\INF\\" + source.substr(source.find_last_of(u"\\/") + 1);
        if (devices.stagesUnderOwnName && !taken(own)) published = own;
        // The lowest free number, as the driver store takes it: an uninstalled INF's name is free again.
        for (long long n = 0; published.empty(); ++n) {
            std::u16string candidate = u"C:\\Windows\\INF\\oem" + ToDecimal(n) + u".inf";
            if (std::none_of(devices.stagedInfs.begin(), devices.stagedInfs.end(),
                             [&](const auto& st) { return ToUpper(st.published) == ToUpper(candidate); }))
                published = candidate;
        }
        auto r = Resolve(published.c_str());
        std::filesystem::create_directories(r.host.parent_path());
        std::ofstream(r.host, std::ios::binary | std::ios::trunc).write(bytes->data(), static_cast<std::streamsize>(bytes->size()));
        devices.stagedInfs.push_back({Str(infPath), published, *bytes});
        Event("inf staged " + Utf8(infPath) + " as " + ToUtf8(published));
    } else {
        Event("inf already staged " + Utf8(infPath) + " as " + ToUtf8(published));
    }
    if (required) *required = static_cast<DWORD>(published.size() + 1);
    if (destination) {
        if (destinationSize < published.size() + 1) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        std::copy(published.begin(), published.end(), destination);
        destination[published.size()] = 0;
        if (destinationComponent) *destinationComponent = destination + published.rfind(u'\\') + 1;
    }
    SetLastError(0);
    return 1;
}

BOOL Machine::SetupUninstallOEMInfW(const char16_t* infFileName, DWORD flags) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("SetupUninstallOEMInfW")) return 0;
    std::u16string name = ToUpper(Str(infFileName));
    // A bare published name only: the driver store looks in its own folder.
    if (name.empty() || name.find_first_of(u"\\/:") != std::u16string::npos) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto it = std::find_if(devices.stagedInfs.begin(), devices.stagedInfs.end(), [&](const auto& st) {
        return ToUpper(st.published.substr(st.published.rfind(u'\\') + 1)) == name;
    });
    if (it == devices.stagedInfs.end()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    constexpr DWORD kForce = 0x1;   // SUOI_FORCEDELETE
    bool inUse = std::any_of(devices.devices.begin(), devices.devices.end(), [&](const SimDevice& d) {
        return d.present && !d.driverInf.empty() &&
               (ToUpper(d.driverInf) == ToUpper(it->published) || ToUpper(d.driverInf) == ToUpper(it->source));
    });
    if (inUse && !(flags & kForce)) {
        Event("inf uninstall refused " + ToUtf8(it->published) + " (a device uses it)");
        SetLastError(ERROR_INF_IN_USE_BY_DEVICES);
        return 0;
    }
    std::u16string published = it->published;
    if (devices.uninstallKeepsUnforced && !(flags & kForce)) {
        Event("inf uninstall said yes and kept " + ToUtf8(published));
        SetLastError(0);
        return 1;
    }
    auto r = Resolve(published.c_str());
    std::error_code ec;
    std::filesystem::remove(r.host, ec);
    devices.stagedInfs.erase(it);
    Event("inf uninstalled " + ToUtf8(published));
    SetLastError(0);
    return 1;
}

BOOL Machine::UpdateDriverForPlugAndPlayDevicesW(HWND, const char16_t* hardwareId, const char16_t* infPath, DWORD,
                                                 BOOL* reboot) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (reboot) *reboot = 0;
    if (Faulted("UpdateDriverForPlugAndPlayDevicesW")) return 0;
    std::u16string id = Str(hardwareId);
    auto refuse = [&](DWORD error) {
        Event("driver update refused " + ToUtf8(id) + " error " + ToUtf8(ToHex(error)));
        SetLastError(error);
        return 0;
    };
    if (Wow64()) return refuse(ERROR_IN_WOW64);
    if (id.empty() || !infPath) return refuse(ERROR_INVALID_PARAMETER);
    auto bytes = ReadMachineFile(*this, infPath);
    if (!bytes) return refuse(GetLastError());
    Inf inf = Inf::Parse(*bytes);
    auto model = inf.Model(ToUtf8(id));
    std::vector<size_t> targets;
    for (size_t d = 0; d < devices.devices.size(); ++d) {
        const SimDevice& dev = devices.devices[d];
        if (!dev.present || !dev.registered) continue;
        for (const auto& h : dev.hardwareIds)
            if (ToUpper(h) == ToUpper(id)) {
                targets.push_back(d);
                break;
            }
    }
    if (targets.empty()) return refuse(ERROR_NO_SUCH_DEVINST);
    if (!model) return refuse(ERROR_NO_DRIVER_SELECTED);
    for (size_t d : targets)
        if (devices.devices[d].driverUpdateError) return refuse(devices.devices[d].driverUpdateError);

    for (size_t d : targets) {
        SimDevice& dev = devices.devices[d];
        dev.driverInf = Str(infPath);
        Event("driver installed on " + ToUtf8(dev.instanceId) + " from " + Utf8(infPath));
        // The printer class installer makes the queue for the model, on the device's port.
        auto cls = inf.Value("Version", "Class");
        if (!cls || Upper(*cls) != "PRINTER" || dev.queuePort.empty()) continue;
        std::u16string name = FromUtf8(model->first);
        if (services.Find(u"Spooler") == nullptr || services.Find(u"Spooler")->state != SERVICE_RUNNING || spooler.FindPrinter(name)) continue;
        SimDriver& driver = spooler.AddDriver(name);
        if (auto data = inf.Value(model->second, "DataFile")) driver.dataFile = spooler.driverDirectory + u"\\" + FromUtf8(*data);
        // The model's CopyFiles list becomes the driver's dependent files, as the class installer makes it.
        if (auto copy = inf.Value(model->second, "CopyFiles")) {
            auto section = inf.sections.find(Upper(*copy));
            if (section != inf.sections.end()) {
                std::vector<std::u16string> files;
                for (const auto& line : section->second)
                    if (!line.empty()) files.push_back(FromUtf8(line));
                driver.dependentFiles = files;
            }
        }
        driver.hardwareId = id;
        if (std::find(spooler.ports.begin(), spooler.ports.end(), dev.queuePort) == spooler.ports.end())
            spooler.ports.push_back(dev.queuePort);
        SimPrinter q;
        q.printerName = name;
        q.portName = dev.queuePort;
        q.driverName = name;
        q.hasSecurityDescriptor = true;
        q.attributes = PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_ENABLE_BIDI;
        spooler.printers.push_back(q);
        Event("plug and play added printer \"" + model->first + "\" on " + ToUtf8(dev.queuePort));
    }
    SetLastError(0);
    return 1;
}

}  // namespace sim
