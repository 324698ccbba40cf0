// ISpooler of the simulated machine: the driver directory, driver and queue registration with
// every record field kept, level-2 printer information with the device mode, the drivers'
// DocumentPropertiesW, ports and the default printer. Like Windows' spooler it answers only
// while the Spooler service runs.
#include <algorithm>
#include <cstring>

#include "impl.h"
#include "platform/text.h"

namespace sim {
using namespace plat;

namespace {
constexpr DWORD ERROR_INVALID_LEVEL = 124;
constexpr DWORD ERROR_UNKNOWN_PRINTPROCESSOR = 1798;
constexpr DWORD RPC_S_SERVER_UNAVAILABLE = 1722;
constexpr DWORD PRINTER_ACCESS_ADMINISTER = 0x4;
constexpr DWORD PRINTER_ACCESS_USE = 0x8;
constexpr size_t kMaxPrinterName = 220;

std::string Quote(const std::u16string& text) {
    std::string out = "\"";
    for (char c : ToUtf8(text)) {
        if (c == '"') {
            out += "\\\"";
        } else if (static_cast<unsigned char>(c) < 0x20) {
            static const char hex[] = "0123456789abcdef";
            out += "\\x";
            out += hex[(c >> 4) & 0xF];
            out += hex[c & 0xF];
        } else {
            out += c;
        }
    }
    return out + "\"";
}
std::string Quote(const Text& text) { return text ? Quote(*text) : "null"; }
std::string Quote(const std::optional<std::vector<std::u16string>>& list) {
    if (!list) return "null";
    std::string out = "[";
    for (size_t i = 0; i < list->size(); ++i) out += (i ? ", " : "") + Quote((*list)[i]);
    return out + "]";
}
std::string Hex(uint64_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(v));
    return buf;
}

// The spooler answers calls only once its service is running (not while it starts or stops).
bool Answers(const ServicesState& services) {
    auto it = services.services.find(u"SPOOLER");
    return it != services.services.end() && it->second.state == SERVICE_RUNNING;
}

Text TextOf(const char16_t* p) { return p ? Text(std::u16string(p)) : std::nullopt; }

std::optional<std::vector<std::u16string>> MultiOf(const char16_t* p) {
    if (!p) return std::nullopt;
    std::vector<std::u16string> names;
    for (size_t guard = 0; *p && guard < 4096; ++guard) {
        std::u16string name(p);
        names.push_back(name);
        p += name.size() + 1;
    }
    return names;
}

bool EqualNoCase(const std::u16string& a, const std::u16string& b) { return ToUpper(a) == ToUpper(b); }

std::string DevModeBytes(const std::u16string& deviceName, const DriverModel& model) {
    DEVMODEW dm{};
    size_t n = std::min<size_t>(deviceName.size(), 31);
    std::copy_n(deviceName.begin(), n, dm.dmDeviceName);
    dm.dmSpecVersion = 0x401;
    dm.dmDriverVersion = 0x600;
    dm.dmSize = sizeof(DEVMODEW);
    dm.dmDriverExtra = model.driverExtra;
    dm.dmFields = model.devModeFields;
    dm.dmOrientation = 1;   // portrait
    dm.dmPaperSize = 256;   // a user-defined label size
    dm.dmCopies = 1;
    std::string bytes(reinterpret_cast<const char*>(&dm), sizeof dm);
    bytes.append(model.driverExtra, '\x5A');   // the driver's private settings
    return bytes;
}

// Bytes of a caller's device mode, public part and private part as its header says.
std::string DevModeFrom(const DEVMODEW* dm) {
    size_t size = dm->dmSize ? dm->dmSize : sizeof(DEVMODEW);
    return std::string(reinterpret_cast<const char*>(dm), size + dm->dmDriverExtra);
}

DWORD FieldsOf(const std::string& devMode) {
    DEVMODEW dm{};
    std::memcpy(&dm, devMode.data(), std::min(devMode.size(), sizeof dm));
    return dm.dmFields;
}

// Packs strings behind the fixed records of a caller's buffer, as the spooler does.
class Packer {
public:
    Packer(BYTE* base, size_t fixed) : base_(base), used_(fixed) {}
    void Align(size_t to) { used_ = (used_ + to - 1) / to * to; }
    BYTE* Take(size_t bytes) {
        BYTE* at = base_ ? base_ + used_ : nullptr;
        used_ += bytes;
        return at;
    }
    char16_t* Put(const Text& text) {
        if (!text) return nullptr;
        Align(2);
        auto* at = reinterpret_cast<char16_t*>(Take((text->size() + 1) * 2));
        if (at) {
            std::copy(text->begin(), text->end(), at);
            at[text->size()] = 0;
        }
        return at;
    }
    size_t used() const { return used_; }

private:
    BYTE* base_;
    size_t used_;
};

// The level-2 record of a queue; base null only measures.
size_t PackPrinterInfo2(const SimPrinter& q, BYTE* base) {
    Packer pack(base, sizeof(PRINTER_INFO_2W));
    PRINTER_INFO_2W info{};
    if (q.devMode) {
        pack.Align(8);
        BYTE* dm = pack.Take(q.devMode->size());
        if (dm) std::memcpy(dm, q.devMode->data(), q.devMode->size());
        info.pDevMode = reinterpret_cast<DEVMODEW*>(dm);
    }
    if (q.hasSecurityDescriptor) {
        pack.Align(8);
        static const BYTE kSelfRelative[20] = {1, 0, 0x04, 0x80};   // revision 1, SE_SELF_RELATIVE, DACL none
        BYTE* sd = pack.Take(sizeof kSelfRelative);
        if (sd) std::memcpy(sd, kSelfRelative, sizeof kSelfRelative);
        info.pSecurityDescriptor = sd;
    }
    info.pServerName = pack.Put(q.serverName);
    info.pPrinterName = pack.Put(q.printerName);
    info.pShareName = pack.Put(q.shareName);
    info.pPortName = pack.Put(q.portName);
    info.pDriverName = pack.Put(q.driverName);
    info.pComment = pack.Put(q.comment);
    info.pLocation = pack.Put(q.location);
    info.pSepFile = pack.Put(q.sepFile);
    info.pPrintProcessor = pack.Put(q.printProcessor);
    info.pDatatype = pack.Put(q.datatype);
    info.pParameters = pack.Put(q.parameters);
    info.Attributes = q.attributes;
    info.Priority = q.priority;
    info.DefaultPriority = q.defaultPriority;
    info.StartTime = q.startTime;
    info.UntilTime = q.untilTime;
    info.Status = q.status;
    info.cJobs = q.cJobs;
    info.AveragePPM = q.averagePPM;
    if (base) std::memcpy(base, &info, sizeof info);
    return pack.used();
}

}  // namespace

SimPrinter* SpoolerState::FindPrinter(const std::u16string& name) {
    for (auto& q : printers)
        if (EqualNoCase(q.printerName, name)) return &q;
    return nullptr;
}

SimDriver* SpoolerState::FindDriver(const std::u16string& name, const std::u16string& env) {
    const std::u16string& want = env.empty() ? environment : env;
    for (auto& d : drivers)
        if (EqualNoCase(d.name, name) && EqualNoCase(d.environmentName, want)) return &d;
    return nullptr;
}

std::u16string SpoolerState::CanonicalEnvironment(const std::u16string& env) const {
    if (EqualNoCase(env, environment)) return environment;
    for (const auto& [name, dir] : otherEnvironments)
        if (EqualNoCase(env, name)) return name;
    return {};
}

std::u16string SpoolerState::DriverDirectoryOf(const std::u16string& env) const {
    std::u16string name = CanonicalEnvironment(env);
    if (name.empty()) return {};
    return name == environment ? driverDirectory : otherEnvironments.at(name);
}

SimDriver& SpoolerState::AddDriver(const std::u16string& name) {
    if (SimDriver* d = FindDriver(name)) return *d;
    SimDriver d;
    d.name = name;
    d.environmentName = environment;
    d.driverPath = driverDirectory + u"\\UNIDRV.DLL";
    d.configFile = driverDirectory + u"\\unidrvui.dll";
    d.defaultDataType = u"RAW";
    d.model = newDriverModel;
    drivers.push_back(d);
    return drivers.back();
}

SimPrinter& SpoolerState::AddPrinter(const std::u16string& name, const std::u16string& port,
                                     const std::u16string& driver) {
    std::u16string driverName = driver.empty() ? name : driver;
    SimDriver& d = AddDriver(driverName);
    SimPrinter q;
    q.printerName = name;
    q.portName = port;
    q.driverName = driverName;
    q.hasSecurityDescriptor = true;
    q.attributes = PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_ENABLE_BIDI;
    q.devMode = DevModeBytes(name, d.model);
    if (std::find(ports.begin(), ports.end(), port) == ports.end()) ports.push_back(port);
    printers.push_back(q);
    return printers.back();
}

BOOL Machine::GetPrinterDriverDirectoryW(const char16_t*, const char16_t* environment, DWORD level, BYTE* buffer,
                                         DWORD size, DWORD* needed) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("GetPrinterDriverDirectoryW")) return 0;
    if (!Answers(services)) {
        SetLastError(RPC_S_SERVER_UNAVAILABLE);
        return 0;
    }
    if (level != 1) {
        SetLastError(ERROR_INVALID_LEVEL);
        return 0;
    }
    // A null environment is the calling program's own, so a 32-bit program on 64-bit Windows
    // is told the 32-bit drivers' folder.
    std::u16string dir = spooler.DriverDirectoryOf(environment ? Str(environment) : ProcessEnvironment());
    if (dir.empty()) {
        SetLastError(ERROR_INVALID_ENVIRONMENT);
        return 0;
    }
    DWORD need = static_cast<DWORD>((dir.size() + 1) * 2);
    if (needed) *needed = need;
    if (!buffer || size < need) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(buffer, dir.c_str(), need);
    return 1;
}

BOOL Machine::OpenPrinterW(const char16_t* name, HANDLE* printer, const PRINTER_DEFAULTSW* defaults) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (printer) *printer = nullptr;
    if (Faulted("OpenPrinterW")) return 0;
    if (!Answers(services)) {
        SetLastError(RPC_S_SERVER_UNAVAILABLE);
        return 0;
    }
    if (!printer) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::u16string queue;
    if (name && *name) {
        SimPrinter* q = spooler.FindPrinter(name);
        if (!q) {
            SetLastError(ERROR_INVALID_PRINTER_NAME);
            return 0;
        }
        queue = q->printerName;
    }
    DWORD access = defaults && defaults->DesiredAccess ? defaults->DesiredAccess : PRINTER_ACCESS_USE;
    HANDLE h = NewHandle();
    spooler.handles[reinterpret_cast<uintptr_t>(h)] = {queue, access};
    *printer = h;
    return 1;
}

BOOL Machine::ClosePrinter(HANDLE printer) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("ClosePrinter")) return 0;
    if (!spooler.handles.erase(reinterpret_cast<uintptr_t>(printer))) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return 1;
}

BOOL Machine::AddPrinterDriverW(const char16_t*, DWORD level, BYTE* info) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("AddPrinterDriverW")) return 0;
    if (!Answers(services)) {
        SetLastError(RPC_S_SERVER_UNAVAILABLE);
        return 0;
    }
    if (level != 6) {
        SetLastError(ERROR_INVALID_LEVEL);
        return 0;
    }
    const auto* di = reinterpret_cast<const DRIVER_INFO_6W*>(info);
    if (!di || !di->pName || !*di->pName || !di->pDriverPath || !di->pDataFile || !di->pConfigFile) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    SimDriver d;
    d.cVersion = di->cVersion;
    d.name = di->pName;
    d.environment = TextOf(di->pEnvironment);
    d.environmentName = spooler.CanonicalEnvironment(d.environment ? *d.environment : ProcessEnvironment());
    if (d.environmentName.empty()) {
        SetLastError(ERROR_INVALID_ENVIRONMENT);
        return 0;
    }
    const std::u16string directory = spooler.DriverDirectoryOf(d.environmentName);
    d.driverPath = TextOf(di->pDriverPath);
    d.dataFile = TextOf(di->pDataFile);
    d.configFile = TextOf(di->pConfigFile);
    d.helpFile = TextOf(di->pHelpFile);
    d.dependentFiles = MultiOf(di->pDependentFiles);
    d.monitorName = TextOf(di->pMonitorName);
    d.defaultDataType = TextOf(di->pDefaultDataType);
    d.previousNames = MultiOf(di->pszzPreviousNames);
    d.driverDate = di->ftDriverDate;
    d.driverVersion = di->dwlDriverVersion;
    d.mfgName = TextOf(di->pszMfgName);
    d.oemUrl = TextOf(di->pszOEMUrl);
    d.hardwareId = TextOf(di->pszHardwareID);
    d.provider = TextOf(di->pszProvider);
    d.model = spooler.newDriverModel;

    if (spooler.driverFilesMustExist) {
        // Bare names are looked up in the driver directory, as the spooler does.
        auto present = [&](const std::u16string& file) {
            std::u16string path = file.find(u'\\') == std::u16string::npos ? directory + u"\\" + file : file;
            auto r = Resolve(path.c_str());
            std::error_code ec;
            return r.ok && std::filesystem::is_regular_file(r.host, ec);
        };
        std::vector<std::u16string> files;
        for (const Text* t : {&d.driverPath, &d.dataFile, &d.configFile, &d.helpFile})
            if (*t) files.push_back(**t);
        if (d.dependentFiles) files.insert(files.end(), d.dependentFiles->begin(), d.dependentFiles->end());
        for (const auto& f : files) {
            if (!present(f)) {
                Event("driver refused " + Quote(d.name) + ": missing " + Quote(f));
                SetLastError(ERROR_FILE_NOT_FOUND);
                return 0;
            }
        }
    }

    bool replacing = false;
    if (SimDriver* old = spooler.FindDriver(d.name, d.environmentName)) {
        *old = d;
        replacing = true;
    } else {
        spooler.drivers.push_back(d);
    }
    std::string forOther = d.environmentName == spooler.environment ? "" : " for " + Quote(d.environmentName);
    Event("driver added " + Quote(d.name) + forOther + (replacing ? " (replacing the earlier one)" : ""));
    Event("  cVersion " + std::to_string(d.cVersion));
    Event("  pName " + Quote(d.name));
    Event("  pEnvironment " + Quote(d.environment));
    Event("  pDriverPath " + Quote(d.driverPath));
    Event("  pDataFile " + Quote(d.dataFile));
    Event("  pConfigFile " + Quote(d.configFile));
    Event("  pHelpFile " + Quote(d.helpFile));
    Event("  pDependentFiles " + Quote(d.dependentFiles));
    Event("  pMonitorName " + Quote(d.monitorName));
    Event("  pDefaultDataType " + Quote(d.defaultDataType));
    Event("  pszzPreviousNames " + Quote(d.previousNames));
    Event("  ftDriverDate " + Hex((static_cast<uint64_t>(d.driverDate.dwHighDateTime) << 32) | d.driverDate.dwLowDateTime));
    Event("  dwlDriverVersion " + Hex(d.driverVersion));
    Event("  pszMfgName " + Quote(d.mfgName));
    Event("  pszOEMUrl " + Quote(d.oemUrl));
    Event("  pszHardwareID " + Quote(d.hardwareId));
    Event("  pszProvider " + Quote(d.provider));
    SetLastError(0);
    return 1;
}

HANDLE Machine::AddPrinterW(const char16_t*, DWORD level, BYTE* info) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("AddPrinterW")) return nullptr;
    auto refuse = [&](DWORD error, const std::u16string& name) -> HANDLE {
        Event("printer refused " + Quote(name) + " error " + std::to_string(error));
        SetLastError(error);
        return nullptr;
    };
    if (!Answers(services)) return refuse(RPC_S_SERVER_UNAVAILABLE, u"");
    if (level != 2) return refuse(ERROR_INVALID_LEVEL, u"");
    const auto* pi = reinterpret_cast<const PRINTER_INFO_2W*>(info);
    if (!pi) return refuse(ERROR_INVALID_PARAMETER, u"");
    std::u16string name = Str(pi->pPrinterName);
    if (name.empty() || name.size() > kMaxPrinterName || name.find_first_of(u",\\!") != std::u16string::npos)
        return refuse(ERROR_INVALID_PRINTER_NAME, name);
    if (spooler.FindPrinter(name)) return refuse(ERROR_PRINTER_ALREADY_EXISTS, name);
    SimDriver* driver = spooler.FindDriver(Str(pi->pDriverName));
    if (!driver) return refuse(ERROR_UNKNOWN_PRINTER_DRIVER, name);
    std::u16string port = Str(pi->pPortName);
    if (std::none_of(spooler.ports.begin(), spooler.ports.end(), [&](const auto& p) { return EqualNoCase(p, port); }))
        return refuse(ERROR_UNKNOWN_PORT, name);
    std::u16string processor = Str(pi->pPrintProcessor);
    if (std::none_of(spooler.printProcessors.begin(), spooler.printProcessors.end(),
                     [&](const auto& p) { return EqualNoCase(p, processor); }))
        return refuse(ERROR_UNKNOWN_PRINTPROCESSOR, name);

    SimPrinter q;
    q.serverName = TextOf(pi->pServerName);
    q.printerName = name;
    q.shareName = TextOf(pi->pShareName);
    q.portName = port;
    q.driverName = driver->name;
    q.comment = TextOf(pi->pComment);
    q.location = TextOf(pi->pLocation);
    q.sepFile = TextOf(pi->pSepFile);
    q.printProcessor = processor;
    q.datatype = TextOf(pi->pDatatype);
    q.parameters = TextOf(pi->pParameters);
    q.hasSecurityDescriptor = true;   // the spooler's default security when none is given
    q.attributes = pi->Attributes;
    q.priority = pi->Priority;
    q.defaultPriority = pi->DefaultPriority;
    q.startTime = pi->StartTime;
    q.untilTime = pi->UntilTime;
    q.status = pi->Status;
    q.cJobs = pi->cJobs;
    q.averagePPM = pi->AveragePPM;
    if (pi->pDevMode) q.devMode = DevModeFrom(pi->pDevMode);
    else if (spooler.queueGetsDriverDevMode) q.devMode = DevModeBytes(name, driver->model);
    spooler.printers.push_back(q);

    Event("printer added " + Quote(name));
    Event("  pServerName " + Quote(TextOf(pi->pServerName)));
    Event("  pPrinterName " + Quote(name));
    Event("  pShareName " + Quote(q.shareName));
    Event("  pPortName " + Quote(Text(port)));
    Event("  pDriverName " + Quote(TextOf(pi->pDriverName)));
    Event("  pComment " + Quote(q.comment));
    Event("  pLocation " + Quote(q.location));
    Event("  pDevMode " + std::string(pi->pDevMode ? "given, fields " + Hex(pi->pDevMode->dmFields) : "null"));
    Event("  pSepFile " + Quote(q.sepFile));
    Event("  pPrintProcessor " + Quote(TextOf(pi->pPrintProcessor)));
    Event("  pDatatype " + Quote(q.datatype));
    Event("  pParameters " + Quote(q.parameters));
    Event("  pSecurityDescriptor " + std::string(pi->pSecurityDescriptor ? "given" : "null"));
    Event("  Attributes " + Hex(pi->Attributes));
    Event("  Priority " + std::to_string(pi->Priority) + ", DefaultPriority " + std::to_string(pi->DefaultPriority) +
          ", StartTime " + std::to_string(pi->StartTime) + ", UntilTime " + std::to_string(pi->UntilTime) +
          ", Status " + std::to_string(pi->Status) + ", cJobs " + std::to_string(pi->cJobs) + ", AveragePPM " +
          std::to_string(pi->AveragePPM));
    HANDLE h = NewHandle();
    spooler.handles[reinterpret_cast<uintptr_t>(h)] = {name, PRINTER_ALL_ACCESS};
    SetLastError(0);
    return h;
}

BOOL Machine::GetPrinterW(HANDLE printer, DWORD level, BYTE* buffer, DWORD size, DWORD* needed) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("GetPrinterW")) return 0;
    if (!Answers(services)) {
        SetLastError(RPC_S_SERVER_UNAVAILABLE);
        return 0;
    }
    auto h = spooler.handles.find(reinterpret_cast<uintptr_t>(printer));
    SimPrinter* q = h == spooler.handles.end() ? nullptr : spooler.FindPrinter(h->second.name);
    if (!q) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (level != 2) {
        SetLastError(ERROR_INVALID_LEVEL);
        return 0;
    }
    DWORD need = static_cast<DWORD>(PackPrinterInfo2(*q, nullptr));
    if (needed) *needed = need;
    if (!buffer || size < need) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    PackPrinterInfo2(*q, buffer);
    return 1;
}

BOOL Machine::SetPrinterW(HANDLE printer, DWORD level, BYTE* info, DWORD command) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("SetPrinterW")) return 0;
    if (!Answers(services)) {
        SetLastError(RPC_S_SERVER_UNAVAILABLE);
        return 0;
    }
    auto h = spooler.handles.find(reinterpret_cast<uintptr_t>(printer));
    SimPrinter* q = h == spooler.handles.end() ? nullptr : spooler.FindPrinter(h->second.name);
    if (!q) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (!(h->second.access & PRINTER_ACCESS_ADMINISTER)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    if (level != 2 || command != 0) {
        SetLastError(level != 2 ? ERROR_INVALID_LEVEL : ERROR_INVALID_PARAMETER);
        return 0;
    }
    const auto* pi = reinterpret_cast<const PRINTER_INFO_2W*>(info);
    if (!pi) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (pi->pDriverName && !spooler.FindDriver(pi->pDriverName)) {
        SetLastError(ERROR_UNKNOWN_PRINTER_DRIVER);
        return 0;
    }
    if (pi->pPortName && std::none_of(spooler.ports.begin(), spooler.ports.end(),
                                      [&](const auto& p) { return EqualNoCase(p, pi->pPortName); })) {
        SetLastError(ERROR_UNKNOWN_PORT);
        return 0;
    }
    if (pi->pPortName) q->portName = pi->pPortName;
    if (pi->pDriverName) q->driverName = spooler.FindDriver(pi->pDriverName)->name;
    q->shareName = TextOf(pi->pShareName);
    q->comment = TextOf(pi->pComment);
    q->location = TextOf(pi->pLocation);
    q->sepFile = TextOf(pi->pSepFile);
    if (pi->pPrintProcessor) q->printProcessor = pi->pPrintProcessor;
    q->datatype = TextOf(pi->pDatatype);
    q->parameters = TextOf(pi->pParameters);
    q->attributes = pi->Attributes;
    q->priority = pi->Priority;
    q->defaultPriority = pi->DefaultPriority;
    q->startTime = pi->StartTime;
    q->untilTime = pi->UntilTime;
    if (pi->pDevMode) q->devMode = DevModeFrom(pi->pDevMode);
    bool security = pi->pSecurityDescriptor != nullptr;
    if (security) q->hasSecurityDescriptor = true;
    Event("printer set " + Quote(q->printerName) + " Attributes " + Hex(q->attributes) +
          ((q->attributes & PRINTER_ATTRIBUTE_ENABLE_BIDI) ? " (bidi on)" : " (bidi off)") + ", devmode " +
          (q->devMode ? "fields " + Hex(FieldsOf(*q->devMode)) : std::string("none")) +
          (security ? ", security rewritten" : ", security kept"));
    SetLastError(0);
    return 1;
}

LONG Machine::DocumentPropertiesW(HWND, HANDLE printer, const char16_t*, DEVMODEW* output, DEVMODEW* input,
                                  DWORD mode) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("DocumentPropertiesW")) return -1;
    if (!Answers(services)) {
        SetLastError(RPC_S_SERVER_UNAVAILABLE);
        return -1;
    }
    auto h = spooler.handles.find(reinterpret_cast<uintptr_t>(printer));
    SimPrinter* q = h == spooler.handles.end() ? nullptr : spooler.FindPrinter(h->second.name);
    if (!q) {
        SetLastError(ERROR_INVALID_HANDLE);
        return -1;
    }
    SimDriver* d = spooler.FindDriver(q->driverName);
    if (!d) {
        SetLastError(ERROR_UNKNOWN_PRINTER_DRIVER);
        return -1;
    }
    std::string merged = DevModeBytes(q->printerName, d->model);
    if (mode == 0) return static_cast<LONG>(merged.size());
    if ((mode & DM_OUT_BUFFER) && !output) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    if ((mode & DM_IN_BUFFER) && input) {
        // The driver takes the settings it knows from the caller's record.
        DEVMODEW in{};
        std::memcpy(&in, input, sizeof in);
        auto* out = reinterpret_cast<DEVMODEW*>(merged.data());
        DWORD known = in.dmFields & d->model.devModeFields;
        if (known & DM_ORIENTATION) out->dmOrientation = in.dmOrientation;
        if (known & 0x2) out->dmPaperSize = in.dmPaperSize;
        if (known & 0x100) out->dmCopies = in.dmCopies;
        if (in.dmDriverExtra == d->model.driverExtra && in.dmSize == sizeof(DEVMODEW))
            std::memcpy(merged.data() + sizeof(DEVMODEW), reinterpret_cast<const char*>(input) + sizeof(DEVMODEW),
                        in.dmDriverExtra);
    }
    if (mode & DM_OUT_BUFFER) std::memmove(output, merged.data(), merged.size());
    return IDOK;
}

// The port list at level 1: the records first, then the names they point to, all in the
// caller's buffer; a buffer too small gives the size with ERROR_INSUFFICIENT_BUFFER.
BOOL Machine::EnumPortsW(const char16_t*, DWORD level, BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (returned) *returned = 0;
    if (Faulted("EnumPortsW")) return 0;
    if (!Answers(services)) {
        SetLastError(RPC_S_SERVER_UNAVAILABLE);
        return 0;
    }
    if (level != 1) {
        SetLastError(ERROR_INVALID_LEVEL);
        return 0;
    }
    if (!needed || !returned) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const auto& ports = spooler.ports;
    size_t need = ports.size() * sizeof(PORT_INFO_1W);
    for (const auto& name : ports) need += (name.size() + 1) * sizeof(char16_t);
    *needed = static_cast<DWORD>(need);
    if (!buffer || size < need) {
        if (need == 0) return 1;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    auto* records = reinterpret_cast<PORT_INFO_1W*>(buffer);
    auto* text = reinterpret_cast<char16_t*>(buffer + ports.size() * sizeof(PORT_INFO_1W));
    for (size_t i = 0; i < ports.size(); ++i) {
        records[i].pName = text;
        std::copy(ports[i].begin(), ports[i].end(), text);
        text += ports[i].size();
        *text++ = 0;
    }
    *returned = static_cast<DWORD>(ports.size());
    return 1;
}

BOOL Machine::SetDefaultPrinterW(const char16_t* name) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("SetDefaultPrinterW")) return 0;
    std::u16string wanted = Str(name);
    DWORD error = !Answers(services) ? RPC_S_SERVER_UNAVAILABLE : 0;
    SimPrinter* q = error ? nullptr : spooler.FindPrinter(wanted);
    if (!error && !q) error = ERROR_INVALID_PRINTER_NAME;
    if (error) {
        Event("default printer " + Quote(wanted) + " refused error " + std::to_string(error));
        SetLastError(error);
        return 0;
    }
    spooler.defaultPrinter = q->printerName;
    Event("default printer " + Quote(q->printerName));
    return 1;
}

namespace {

// The Enum* calls' answer: the size needed always, the records only when they fit (none fit
// any buffer). `pack(nullptr)` measures, `pack(buffer)` writes.
template <class Pack>
BOOL ReturnRecords(Machine& m, const Pack& pack, std::size_t count, BYTE* buffer, DWORD size, DWORD* needed,
                   DWORD* returned) {
    const DWORD need = static_cast<DWORD>(pack(nullptr));
    *needed = need;
    if (!buffer || size < need) {
        if (count == 0) return 1;
        m.SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    pack(buffer);
    *returned = static_cast<DWORD>(count);
    return 1;
}

// A multi-string: each name, a zero, and a final zero.
char16_t* PutMulti(Packer& pack, const std::optional<std::vector<std::u16string>>& names) {
    if (!names) return nullptr;
    std::u16string multi;
    for (const auto& n : *names) multi += n + u'\0';
    pack.Align(2);
    auto* at = reinterpret_cast<char16_t*>(pack.Take((multi.size() + 1) * 2));
    if (at) {
        std::copy(multi.begin(), multi.end(), at);
        at[multi.size()] = 0;
    }
    return at;
}

// The files a driver names, as full paths (bare names are in its environment's directory).
std::vector<std::u16string> DriverFiles(const SimDriver& d, const std::u16string& directory) {
    std::vector<std::u16string> files;
    auto add = [&](const std::u16string& f) {
        if (!f.empty()) files.push_back(f.find(u'\\') == std::u16string::npos ? directory + u"\\" + f : f);
    };
    for (const Text* t : {&d.driverPath, &d.dataFile, &d.configFile, &d.helpFile})
        if (*t) add(**t);
    if (d.dependentFiles)
        for (const auto& f : *d.dependentFiles) add(f);
    return files;
}

}  // namespace

BOOL Machine::EnumPrintersW(DWORD flags, const char16_t* name, DWORD level, BYTE* buffer, DWORD size, DWORD* needed,
                            DWORD* returned) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (returned) *returned = 0;
    if (Faulted("EnumPrintersW")) return 0;
    if (!Answers(services)) {
        SetLastError(RPC_S_SERVER_UNAVAILABLE);
        return 0;
    }
    if (level != 4) {
        SetLastError(ERROR_INVALID_LEVEL);
        return 0;
    }
    if (!needed || !returned || (name && *name) || !(flags & PRINTER_ENUM_LOCAL)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const auto& queues = spooler.printers;
    auto pack = [&](BYTE* base) {
        Packer p(base, queues.size() * sizeof(PRINTER_INFO_4W));
        for (size_t i = 0; i < queues.size(); ++i) {
            PRINTER_INFO_4W info{};
            info.pPrinterName = p.Put(queues[i].printerName);
            info.Attributes = queues[i].attributes;
            if (base) std::memcpy(base + i * sizeof info, &info, sizeof info);
        }
        return p.used();
    };
    return ReturnRecords(*this, pack, queues.size(), buffer, size, needed, returned);
}

BOOL Machine::EnumPrinterDriversW(const char16_t*, const char16_t* environment, DWORD level, BYTE* buffer, DWORD size,
                                  DWORD* needed, DWORD* returned) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (returned) *returned = 0;
    if (Faulted("EnumPrinterDriversW")) return 0;
    if (!Answers(services)) {
        SetLastError(RPC_S_SERVER_UNAVAILABLE);
        return 0;
    }
    if (level != 6) {
        SetLastError(ERROR_INVALID_LEVEL);
        return 0;
    }
    if (!needed || !returned) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::u16string env = spooler.CanonicalEnvironment(environment ? Str(environment) : ProcessEnvironment());
    if (env.empty()) {
        SetLastError(ERROR_INVALID_ENVIRONMENT);
        return 0;
    }
    std::vector<const SimDriver*> list;
    for (const auto& d : spooler.drivers)
        if (d.environmentName == env) list.push_back(&d);
    auto pack = [&](BYTE* base) {
        Packer p(base, list.size() * sizeof(DRIVER_INFO_6W));
        for (size_t i = 0; i < list.size(); ++i) {
            const SimDriver& d = *list[i];
            DRIVER_INFO_6W info{};
            info.cVersion = d.cVersion;
            info.pName = p.Put(d.name);
            info.pEnvironment = p.Put(d.environmentName);
            info.pDriverPath = p.Put(d.driverPath);
            info.pDataFile = p.Put(d.dataFile);
            info.pConfigFile = p.Put(d.configFile);
            info.pHelpFile = p.Put(d.helpFile);
            info.pDependentFiles = PutMulti(p, d.dependentFiles);
            info.pMonitorName = p.Put(d.monitorName);
            info.pDefaultDataType = p.Put(d.defaultDataType);
            info.pszzPreviousNames = PutMulti(p, d.previousNames);
            info.ftDriverDate = d.driverDate;
            info.dwlDriverVersion = d.driverVersion;
            info.pszMfgName = p.Put(d.mfgName);
            info.pszOEMUrl = p.Put(d.oemUrl);
            info.pszHardwareID = p.Put(d.hardwareId);
            info.pszProvider = p.Put(d.provider);
            if (base) std::memcpy(base + i * sizeof info, &info, sizeof info);
        }
        return p.used();
    };
    return ReturnRecords(*this, pack, list.size(), buffer, size, needed, returned);
}

BOOL Machine::DeletePrinter(HANDLE printer) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("DeletePrinter")) return 0;
    if (!Answers(services)) {
        SetLastError(RPC_S_SERVER_UNAVAILABLE);
        return 0;
    }
    auto h = spooler.handles.find(reinterpret_cast<uintptr_t>(printer));
    SimPrinter* q = h == spooler.handles.end() || h->second.name.empty() ? nullptr : spooler.FindPrinter(h->second.name);
    if (!q) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    constexpr DWORD kDelete = 0x10000;
    if ((h->second.access & kDelete) == 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    std::u16string name = q->printerName;
    if (EqualNoCase(spooler.defaultPrinter, name)) spooler.defaultPrinter.clear();
    spooler.printers.erase(spooler.printers.begin() + (q - spooler.printers.data()));
    Event("printer deleted " + Quote(name));
    SetLastError(0);
    return 1;
}

BOOL Machine::DeletePrinterDriverExW(const char16_t*, const char16_t* environment, const char16_t* driverName,
                                     DWORD deleteFlags, DWORD versionFlag) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("DeletePrinterDriverExW")) return 0;
    if (!Answers(services)) {
        SetLastError(RPC_S_SERVER_UNAVAILABLE);
        return 0;
    }
    std::u16string env = spooler.CanonicalEnvironment(environment ? Str(environment) : ProcessEnvironment());
    if (env.empty()) {
        SetLastError(ERROR_INVALID_ENVIRONMENT);
        return 0;
    }
    std::u16string name = Str(driverName);
    SimDriver* d = spooler.FindDriver(name, env);
    if (!d || ((deleteFlags & DPD_DELETE_SPECIFIC_VERSION) && d->cVersion != versionFlag)) {
        SetLastError(ERROR_UNKNOWN_PRINTER_DRIVER);
        return 0;
    }
    // A queue of the machine's own environment uses the driver of that name.
    if (env == spooler.environment &&
        std::any_of(spooler.printers.begin(), spooler.printers.end(),
                    [&](const SimPrinter& q) { return EqualNoCase(q.driverName, d->name); })) {
        Event("driver delete refused " + Quote(name) + " error " + std::to_string(ERROR_PRINTER_DRIVER_IN_USE));
        SetLastError(ERROR_PRINTER_DRIVER_IN_USE);
        return 0;
    }
    const std::u16string directory = spooler.DriverDirectoryOf(env);
    std::vector<std::u16string> files = DriverFiles(*d, directory);
    std::string forOther = env == spooler.environment ? "" : " for " + Quote(env);
    spooler.drivers.erase(spooler.drivers.begin() + (d - spooler.drivers.data()));
    Event("driver deleted " + Quote(name) + forOther);
    if (deleteFlags & DPD_DELETE_UNUSED_FILES) {
        std::vector<std::u16string> used;
        for (const auto& other : spooler.drivers)
            if (other.environmentName == env)
                for (const auto& f : DriverFiles(other, directory)) used.push_back(ToUpper(f));
        std::sort(files.begin(), files.end());
        files.erase(std::unique(files.begin(), files.end()), files.end());
        for (const auto& f : files) {
            if (std::find(used.begin(), used.end(), ToUpper(f)) != used.end()) continue;
            auto r = Resolve(f.c_str());
            std::error_code ec;
            if (r.ok && std::filesystem::is_regular_file(r.host, ec) && std::filesystem::remove(r.host, ec))
                Event("  file deleted " + Quote(f));
        }
    }
    SetLastError(0);
    return 1;
}

}  // namespace sim
