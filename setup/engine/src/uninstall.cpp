#include "engine/uninstall.h"

#include <algorithm>
#include <optional>

#include "engine/package.h"
#include "engine/registration.h"
#include "platform/text.h"

namespace engine {
namespace {

using plat::DWORD;

constexpr int kDriverInUseRetries = 10;
constexpr DWORD kDriverInUsePauseMs = 500;
constexpr DWORD kForceDelete = 0x1;   // SUOI_FORCEDELETE
constexpr size_t kMaxInfBytes = 4 * 1024 * 1024;   // far beyond any printer INF

// The package's own module, which only Setup's drivers list among their dependent files.
const char16_t* PackageModule(int family) {
    switch (family) {
        case 0: return u"VT39.dll";
        case 1: return u"HVMPUNI.dll";
        default: return u"Hv9res.dll";
    }
}

std::u16string FileNameOf(const std::u16string& path) {
    size_t cut = path.find_last_of(u"\\/");
    return plat::ToUpper(cut == std::u16string::npos ? path : path.substr(cut + 1));
}

std::u16string Text(const char16_t* p) { return p ? std::u16string(p) : std::u16string(); }

struct DriverRecord {
    std::u16string name, driverModule, dataFile;
    std::vector<std::u16string> dependent;   // file names, upper-case
    std::vector<std::u16string> files;       // every file it names, as the spooler gave them
};

// Zero-filled memory with the alignment the spooler's records need.
std::vector<uint64_t> Storage(DWORD bytes) { return std::vector<uint64_t>(bytes / 8 + 1, 0); }

// The enumeration's two calls: the size, then the records. nullopt with the error on a failure.
template <typename Call> std::optional<std::vector<uint64_t>> Enumerate(const Env& env, Call call, DWORD& count, DWORD& error) {
    DWORD needed = 0;
    count = 0;
    if (call(nullptr, 0, &needed, &count)) return std::vector<uint64_t>{};   // nothing there
    error = env.p.sys.GetLastError();
    if (error != plat::ERROR_INSUFFICIENT_BUFFER) return std::nullopt;
    auto storage = Storage(needed);
    if (!call(reinterpret_cast<plat::BYTE*>(storage.data()), needed, &needed, &count)) {
        error = env.p.sys.GetLastError();
        return std::nullopt;
    }
    return storage;
}

class Remover {
public:
    Remover(const Env& env, int family, UninstallReport& report) : env_(env), family_(family), report_(report) {}

    void Fail(const std::u16string& what, DWORD error) {
        report_.failures.push_back(what + u" (" + plat::ToDecimal(static_cast<long long>(error)) + u")");
        env_.log.Write(what, true);
    }

    std::optional<std::vector<DriverRecord>> Drivers() {
        DWORD count = 0, error = 0;
        const char16_t* environment = DriverEnvironment(env_.p);
        auto storage = Enumerate(env_, [&](plat::BYTE* b, DWORD n, DWORD* need, DWORD* got) {
            return env_.p.spooler.EnumPrinterDriversW(nullptr, environment, 6, b, n, need, got) != 0;
        }, count, error);
        if (!storage) {
            env_.p.sys.SetLastError(error);
            Fail(u"EnumPrinterDrivers", error);
            return std::nullopt;
        }
        std::vector<DriverRecord> list;
        const auto* records = reinterpret_cast<const plat::DRIVER_INFO_6W*>(storage->data());
        for (DWORD i = 0; i < count; ++i) {
            DriverRecord d{Text(records[i].pName), FileNameOf(Text(records[i].pDriverPath)),
                           FileNameOf(Text(records[i].pDataFile)), {}, {}};
            for (const char16_t* f : {records[i].pDriverPath, records[i].pDataFile, records[i].pConfigFile,
                                      records[i].pHelpFile})
                if (f && *f) d.files.push_back(f);
            for (const char16_t* f = records[i].pDependentFiles; f && *f; f += std::u16string(f).size() + 1) {
                d.dependent.push_back(FileNameOf(f));
                d.files.push_back(f);
            }
            list.push_back(std::move(d));
        }
        return list;
    }

    bool IsOurs(const DriverRecord& d, const UninstallModel& m) const {
        return IsSetupQueueName(d.name, m.name) && d.driverModule == u"UNIDRV.DLL" &&
               d.dataFile == plat::ToUpper(m.dataFile) &&
               std::count(d.dependent.begin(), d.dependent.end(), plat::ToUpper(PackageModule(family_))) > 0;
    }

    // Every local queue with its driver's name; nullopt when the list cannot be read whole.
    std::optional<std::vector<std::pair<std::u16string, std::u16string>>> Queues() {
        DWORD count = 0, error = 0;
        auto storage = Enumerate(env_, [&](plat::BYTE* b, DWORD n, DWORD* need, DWORD* got) {
            return env_.p.spooler.EnumPrintersW(plat::PRINTER_ENUM_LOCAL, nullptr, 4, b, n, need, got) != 0;
        }, count, error);
        if (!storage) {
            env_.p.sys.SetLastError(error);
            Fail(u"EnumPrinters", error);
            return std::nullopt;
        }
        std::vector<std::pair<std::u16string, std::u16string>> queues;
        const auto* records = reinterpret_cast<const plat::PRINTER_INFO_4W*>(storage->data());
        for (DWORD i = 0; i < count; ++i) {
            std::u16string name = Text(records[i].pPrinterName);
            auto driver = DriverOf(name);
            if (!driver) return std::nullopt;
            queues.push_back({name, *driver});
        }
        return queues;
    }

    std::optional<std::u16string> DriverOf(const std::u16string& queue) {
        plat::ISpooler& s = env_.p.spooler;
        plat::HANDLE h = nullptr;
        if (!s.OpenPrinterW(queue.c_str(), &h, nullptr) || !h) {
            Fail(u"OpenPrinter " + queue, env_.p.sys.GetLastError());
            return std::nullopt;
        }
        DWORD needed = 0;
        std::optional<std::u16string> driver;
        s.GetPrinterW(h, 2, nullptr, 0, &needed);
        auto storage = Storage(needed);
        if (needed >= sizeof(plat::PRINTER_INFO_2W) &&
            s.GetPrinterW(h, 2, reinterpret_cast<plat::BYTE*>(storage.data()), needed, &needed))
            driver = Text(reinterpret_cast<const plat::PRINTER_INFO_2W*>(storage.data())->pDriverName);
        else
            Fail(u"GetPrinter " + queue, env_.p.sys.GetLastError());
        s.ClosePrinter(h);
        return driver;
    }

    bool DeleteQueue(const std::u16string& name) {
        plat::ISpooler& s = env_.p.spooler;
        plat::PRINTER_DEFAULTSW defaults{nullptr, nullptr, plat::PRINTER_ALL_ACCESS};
        plat::HANDLE h = nullptr;
        if (!s.OpenPrinterW(name.c_str(), &h, &defaults) || !h) {
            Fail(u"OpenPrinter " + name, env_.p.sys.GetLastError());
            return false;
        }
        bool ok = s.DeletePrinter(h) != 0;
        DWORD error = env_.p.sys.GetLastError();
        s.ClosePrinter(h);
        if (!ok) {
            env_.p.sys.SetLastError(error);
            Fail(u"DeletePrinter " + name, error);
            return false;
        }
        report_.queues.push_back(name);
        return true;
    }

    // all: every driver of the environment, as listed before anything was removed.
    bool DeleteDriver(const DriverRecord& driver, const std::vector<DriverRecord>& all) {
        // The spooler may hold a just-deleted queue's driver a moment longer: a few bounded retries.
        DWORD flags = plat::DPD_DELETE_UNUSED_FILES;
        DWORD error = 0;
        for (int attempt = 0;; ++attempt) {
            if (env_.p.spooler.DeletePrinterDriverExW(nullptr, DriverEnvironment(env_.p), driver.name.c_str(), flags, 0))
                break;
            error = env_.p.sys.GetLastError();
            // A spooler that takes no deletion flags (Wine's): the registration alone, the files here.
            if (error == plat::ERROR_INVALID_PARAMETER && flags != 0) {
                flags = 0;
                continue;
            }
            if (error != plat::ERROR_PRINTER_DRIVER_IN_USE || attempt >= kDriverInUseRetries) {
                env_.p.sys.SetLastError(error);
                Fail(u"DeletePrinterDriverEx " + driver.name, error);
                return false;
            }
            env_.p.sys.Sleep(kDriverInUsePauseMs);
        }
        report_.drivers.push_back(driver.name);
        if (flags == 0) DeleteUnusedFiles(driver, all);
        return true;
    }

    // The driver's files that no other driver names (by file name, as the spooler keeps them
    // flat in its directory); one that cannot be deleted stays, and is only logged.
    void DeleteUnusedFiles(const DriverRecord& driver, const std::vector<DriverRecord>& all) {
        auto dir = QueryDriverDirectory(env_);
        if (!dir) return;
        std::vector<std::u16string> used;
        for (const auto& other : all)
            if (plat::ToUpper(other.name) != plat::ToUpper(driver.name) &&
                std::count(report_.drivers.begin(), report_.drivers.end(), other.name) == 0)
                for (const auto& f : other.files) used.push_back(FileNameOf(f));
        std::vector<std::u16string> done;
        for (const auto& f : driver.files) {
            std::u16string name = FileNameOf(f);
            if (std::count(used.begin(), used.end(), name) || std::count(done.begin(), done.end(), name)) continue;
            done.push_back(name);
            std::u16string path = f.find(u'\\') == std::u16string::npos ? *dir + u"\\" + f : f;
            if (!env_.p.files.DeleteFileW(path.c_str()) && env_.p.sys.GetLastError() != plat::ERROR_FILE_NOT_FOUND)
                env_.log.Write(u"DeleteFile " + path, true);
        }
    }

    // A whole file's bytes; nullopt when it cannot be read.
    std::optional<std::string> ReadAll(const std::u16string& path) {
        plat::HANDLE h = env_.p.files.CreateFileW(path.c_str(), plat::GENERIC_READ, plat::FILE_SHARE_READ,
                                                  plat::OPEN_EXISTING, 0);
        if (h == plat::INVALID_HANDLE_VALUE) return std::nullopt;
        std::string bytes;
        char chunk[4096];
        DWORD got = 0;
        bool ok = true;
        while ((ok = env_.p.files.ReadFile(h, chunk, sizeof chunk, &got) != 0) && got > 0 && bytes.size() < kMaxInfBytes)
            bytes.append(chunk, got);
        env_.p.files.CloseHandle(h);
        if (!ok) return std::nullopt;
        return bytes;
    }

    // The published name of the package INF in the Windows INF folder; empty when it is not
    // there, nullopt when that cannot be told (reported).
    std::optional<std::u16string> StagedInf(std::u16string& folder) {
        auto inf = GetInfPath(env_.p, family_);
        if (!inf) {
            Fail(u"the package INF beside Setup", plat::ERROR_PATH_NOT_FOUND);
            return std::nullopt;
        }
        auto package = ReadAll(inf->path);
        if (!package) {
            Fail(u"ReadFile " + inf->path, env_.p.sys.GetLastError());
            return std::nullopt;
        }
        char16_t windows[plat::MAX_PATH] = {};
        if (!env_.p.sys.SHGetSpecialFolderPathW(nullptr, windows, plat::CSIDL_WINDOWS, 0)) {
            Fail(u"SHGetSpecialFolderPath", env_.p.sys.GetLastError());
            return std::nullopt;
        }
        folder = plat::FromBuffer(windows, plat::MAX_PATH) + u"\\INF\\";
        // Windows publishes it as oemN.inf; Wine keeps the package's own name while it is free.
        std::u16string ownName = inf->path.substr(inf->path.rfind(u'\\') + 1);
        for (const std::u16string& pattern : {std::u16string(u"oem*.inf"), ownName}) {
            auto match = FindSame(folder, pattern, *package);
            if (!match || !match->empty()) return match;
        }
        return std::u16string();
    }

    // The first file matching pattern in folder with exactly these bytes; empty when none.
    std::optional<std::u16string> FindSame(const std::u16string& folder, const std::u16string& pattern,
                                           const std::string& package) {
        plat::WIN32_FIND_DATAW found{};
        plat::HANDLE find = env_.p.files.FindFirstFileW((folder + pattern).c_str(), &found);
        if (find == plat::INVALID_HANDLE_VALUE) {
            DWORD error = env_.p.sys.GetLastError();
            if (error == plat::ERROR_FILE_NOT_FOUND) return std::u16string();
            Fail(u"FindFirstFile " + folder + pattern, error);
            return std::nullopt;
        }
        std::optional<std::u16string> match = std::u16string();
        do {
            if ((found.dwFileAttributes & plat::FILE_ATTRIBUTE_DIRECTORY) || found.nFileSizeHigh != 0 ||
                found.nFileSizeLow != package.size())
                continue;
            std::u16string name = plat::FromBuffer(found.cFileName, plat::MAX_PATH);
            auto bytes = ReadAll(folder + name);
            if (!bytes) {
                Fail(u"ReadFile " + folder + name, env_.p.sys.GetLastError());
                match = std::nullopt;
                break;
            }
            if (*bytes == package) {
                match = name;
                break;
            }
        } while (env_.p.files.FindNextFileW(find, &found));
        env_.p.files.FindClose(find);
        return match;
    }

    void DeleteInf(const std::u16string& folder, const std::u16string& published) {
        if (!env_.p.devsetup.SetupUninstallOEMInfW(published.c_str(), 0)) {
            DWORD error = env_.p.sys.GetLastError();
            // The printer's device got its driver from it (plug and play): the device keeps it,
            // which is no failure of the uninstall.
            if (error == plat::ERROR_INF_IN_USE_BY_DEVICES) {
                report_.infsInUse.push_back(published);
                return;
            }
            Fail(u"SetupUninstallOEMInf " + published, error);
            return;
        }
        // A driver store that says yes and keeps the file (Wine's, unless forced): no device
        // refused it, so the forced removal takes no INF a device still needs.
        if (env_.p.files.GetFileAttributesW((folder + published).c_str()) != plat::INVALID_FILE_ATTRIBUTES &&
            !env_.p.devsetup.SetupUninstallOEMInfW(published.c_str(), kForceDelete)) {
            Fail(u"SetupUninstallOEMInf " + published, env_.p.sys.GetLastError());
            return;
        }
        report_.infs.push_back(published);
    }

private:
    const Env& env_;
    int family_;
    UninstallReport& report_;
};

}  // namespace

bool IsSetupQueueName(const std::u16string& name, const std::u16string& model) {
    const std::u16string base = kBrandPrefix + model;
    if (name.size() < base.size() || plat::ToUpper(name.substr(0, base.size())) != plat::ToUpper(base)) return false;
    std::u16string rest = name.substr(base.size());
    if (rest.empty()) return true;
    const std::u16string open = u" (副本 ";
    if (rest.size() < open.size() + 2 || rest.compare(0, open.size(), open) != 0 || rest.back() != u')') return false;
    std::u16string digits = rest.substr(open.size(), rest.size() - open.size() - 1);
    if (digits.empty() || digits.size() > 4 || digits[0] == u'0') return false;
    return std::all_of(digits.begin(), digits.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

UninstallReport Uninstall(const Env& env, const std::vector<UninstallModel>& models,
                          const std::vector<UninstallModel>& catalogue, int family) {
    UninstallReport report;
    Remover remover(env, family, report);
    auto drivers = remover.Drivers();
    auto queues = drivers ? remover.Queues() : std::nullopt;
    if (!drivers || !queues) return report;

    auto oursFor = [&](const std::u16string& driverName, const std::vector<UninstallModel>& among) {
        for (const auto& d : *drivers)
            if (plat::ToUpper(d.name) == plat::ToUpper(driverName))
                for (const auto& m : among)
                    if (remover.IsOurs(d, m)) return true;
        return false;
    };
    // The queues first: a driver can go only once no queue uses it.
    std::vector<std::pair<std::u16string, std::u16string>> left;
    for (const auto& [queue, driver] : *queues) {
        bool ours = false;
        for (const auto& m : models) ours |= IsSetupQueueName(queue, m.name) && oursFor(driver, {m});
        if (!ours || !remover.DeleteQueue(queue)) left.push_back({queue, driver});
    }
    for (const auto& d : *drivers) {
        bool ours = std::any_of(models.begin(), models.end(), [&](const auto& m) { return remover.IsOurs(d, m); });
        bool used = std::any_of(left.begin(), left.end(),
                                [&](const auto& q) { return plat::ToUpper(q.second) == plat::ToUpper(d.name); });
        if (ours && !used) remover.DeleteDriver(d, *drivers);
    }
    // The INF serves every model of the package: it stays while any driver of ours does.
    bool driversLeft = false;
    for (const auto& d : *drivers) {
        bool removed = std::count(report.drivers.begin(), report.drivers.end(), d.name) > 0;
        bool ours = std::any_of(catalogue.begin(), catalogue.end(), [&](const auto& m) { return remover.IsOurs(d, m); });
        driversLeft |= ours && !removed;
    }
    if (!driversLeft && report.complete()) {
        std::u16string folder;
        auto published = remover.StagedInf(folder);
        if (published && !published->empty()) remover.DeleteInf(folder, *published);
    }
    return report;
}

}  // namespace engine
