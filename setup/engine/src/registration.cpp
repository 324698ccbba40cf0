#include "engine/registration.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include "detect/sysinfo.h"
#include "engine/driver_copy.h"
#include "engine/package.h"
#include "platform/text.h"

namespace engine {
namespace {

using plat::DWORD;

constexpr DWORD kDriverDirectoryBytes = 512;

// Zero-filled memory with the alignment the spooler's records need.
class Block {
public:
    explicit Block(size_t bytes) : words_((bytes + 7) / 8 + 1, 0) {}
    plat::BYTE* data() { return reinterpret_cast<plat::BYTE*>(words_.data()); }

private:
    std::vector<uint64_t> words_;
};

// A printer handle closed at the end of the scope.
class Printer {
public:
    explicit Printer(plat::ISpooler& s) : s_(s) {}
    ~Printer() {
        if (h_) s_.ClosePrinter(h_);
    }
    Printer(const Printer&) = delete;
    Printer& operator=(const Printer&) = delete;
    plat::HANDLE* out() { return &h_; }
    plat::HANDLE get() const { return h_; }

private:
    plat::ISpooler& s_;
    plat::HANDLE h_ = nullptr;
};

char16_t* Mutable(std::u16string& s) { return s.data(); }

}  // namespace

const char16_t* DriverEnvironment(const plat::Platform& p) {
    switch (detect::NativeArchitecture(p)) {
        case plat::PROCESSOR_ARCHITECTURE_AMD64: return u"Windows x64";
        case plat::PROCESSOR_ARCHITECTURE_IA64: return u"Windows IA64";
        default: return nullptr;
    }
}

std::optional<std::u16string> QueryDriverDirectory(const Env& env) {
    char16_t buffer[kDriverDirectoryBytes / 2] = {};
    DWORD needed = 0;
    if (!env.p.spooler.GetPrinterDriverDirectoryW(nullptr, DriverEnvironment(env.p), 1,
                                                  reinterpret_cast<plat::BYTE*>(buffer), kDriverDirectoryBytes,
                                                  &needed))
        return std::nullopt;
    return plat::FromBuffer(buffer, kDriverDirectoryBytes / 2);
}

bool InstallByRegistration(const Env& env, const std::u16string&, const std::u16string& modelName,
                           const std::u16string& portName, const std::u16string& dataFileName, int family) {
    auto unique = MakeUniquePrinterName(env, modelName);
    if (!unique) return false;
    const std::u16string& name = *unique;
    StepResult package = CopyDriverPackage(env, family, dataFileName);
    if (!package.ok) return package.infSyntaxError();   // such an INF counts as installed
    if (!RegisterDriverAndQueue(env, name, family, portName, dataFileName)) return false;
    env.p.spooler.SetDefaultPrinterW(name.c_str());
    return true;
}

std::optional<std::u16string> MakeUniquePrinterName(const Env& env, const std::u16string& modelName) {
    std::u16string base = plat::Contains(modelName, kBrandPrefix) ? modelName : kBrandPrefix + modelName;
    std::u16string candidate = base;
    for (int n = 1; n <= kMaxCopySuffix; ++n) {
        plat::HANDLE h = nullptr;
        if (!env.p.spooler.OpenPrinterW(candidate.c_str(), &h, nullptr)) {
            // Only "no such printer" makes the name free: after any other refusal the queue may
            // exist, and taking its name would re-register its driver.
            if (env.p.sys.GetLastError() == plat::ERROR_INVALID_PRINTER_NAME) return candidate;
            return std::nullopt;
        }
        if (h) env.p.spooler.ClosePrinter(h);
        candidate = base + u" (副本 " + plat::ToDecimal(n) + u")";
    }
    return candidate;
}

StepResult CopyDriverPackage(const Env& env, int family, const std::u16string& dataFileName) {
    auto dir = QueryDriverDirectory(env);
    if (!dir) return {};
    auto source = GetDriverSourceDir(env.p, family);
    std::u16string target = *dir + u"\\";
    if (!source || !plat::FitsBuffer(target, kPathUnits)) return {};
    if (!CopyDriverFolder(env, *source, target, dataFileName, family)) return {};
    auto inf = GetInfPath(env.p, family);
    if (!inf) return {};
    return StageInf(env, inf->path, inf->folder);
}

StepResult StageInf(const Env& env, const std::u16string& infPath, const std::u16string& infFolder) {
    auto stage = [&] {
        return env.p.devsetup.SetupCopyOEMInfW(infPath.c_str(), infFolder.c_str(), plat::SPOST_PATH, 0, nullptr, 0,
                                               nullptr, nullptr) != 0;
    };
    if (stage()) return {true, 0};
    DWORD error = env.p.sys.GetLastError();
    if (error == plat::ERROR_NOT_FOUND) {
        if (stage()) return {true, 0};
        error = env.p.sys.GetLastError();
    }
    env.errors.ShowErrorCode(u"3");
    return {false, error};
}

bool RegisterDriverAndQueue(const Env& env, const std::u16string& printerName, int family,
                            const std::u16string& portName, const std::u16string& dataFileName) {
    auto dir = QueryDriverDirectory(env);
    auto dependent = GetDependentFiles(family);
    if (!dir || !dependent) return false;
    std::u16string driverPath = *dir + u"\\UNIDRV.DLL";
    std::u16string dataFile = *dir + u"\\" + dataFileName;
    std::u16string configFile = *dir + u"\\unidrvui.dll";
    std::u16string helpFile = *dir + u"\\unidrv.hlp";
    for (const auto* path : {&driverPath, &dataFile, &configFile, &helpFile})
        if (!plat::FitsBuffer(*path, kPathUnits)) return false;
    std::u16string name = printerName, dependentFiles = *dependent, raw = u"RAW", maker = u"Halvorin";
    const char16_t* environment = DriverEnvironment(env.p);
    std::u16string environmentName = environment ? environment : u"";

    plat::DRIVER_INFO_6W driver{};
    driver.cVersion = 3;
    driver.pName = Mutable(name);
    driver.pEnvironment = environment ? Mutable(environmentName) : nullptr;
    driver.pDriverPath = Mutable(driverPath);
    driver.pDataFile = Mutable(dataFile);
    driver.pConfigFile = Mutable(configFile);
    driver.pHelpFile = Mutable(helpFile);
    driver.pDependentFiles = Mutable(dependentFiles);
    driver.pDefaultDataType = Mutable(raw);
    driver.pszMfgName = Mutable(maker);
    if (!env.p.spooler.AddPrinterDriverW(nullptr, 6, reinterpret_cast<plat::BYTE*>(&driver))) {
        env.errors.ShowErrorCode(u"4");
        return false;
    }

    std::u16string port = portName, processor = u"winprint";
    plat::PRINTER_INFO_2W queue{};
    queue.pPrinterName = Mutable(name);
    queue.pPortName = Mutable(port);
    queue.pDriverName = Mutable(name);
    queue.pPrintProcessor = Mutable(processor);
    queue.pDatatype = Mutable(raw);
    queue.Attributes = plat::PRINTER_ATTRIBUTE_LOCAL;
    plat::HANDLE h = env.p.spooler.AddPrinterW(nullptr, 2, reinterpret_cast<plat::BYTE*>(&queue));
    if (!h) {
        env.errors.ShowErrorCode(u"6");
        return false;
    }
    env.p.spooler.ClosePrinter(h);
    DisablePrinterBidi(env, printerName);
    return true;
}

bool DisablePrinterBidi(const Env& env, const std::u16string& printerName) {
    plat::ISpooler& spooler = env.p.spooler;
    std::u16string name = printerName;
    plat::PRINTER_DEFAULTSW defaults{nullptr, nullptr, plat::PRINTER_ALL_ACCESS};
    Printer printer(spooler);
    if (!spooler.OpenPrinterW(name.c_str(), printer.out(), &defaults) || !printer.get()) return false;

    env.p.sys.SetLastError(0);
    DWORD needed = 0;
    if (!spooler.GetPrinterW(printer.get(), 2, nullptr, 0, &needed) &&
        env.p.sys.GetLastError() != plat::ERROR_INSUFFICIENT_BUFFER)
        return false;
    if (needed == 0) return false;
    Block infoBlock(needed);
    if (!spooler.GetPrinterW(printer.get(), 2, infoBlock.data(), needed, &needed)) return false;
    auto* info = reinterpret_cast<plat::PRINTER_INFO_2W*>(infoBlock.data());

    // The driver writes its whole device mode, which may be larger than the one the queue
    // stored (an older driver's private part): merge in a block of the driver's size.
    plat::LONG driverSize = spooler.DocumentPropertiesW(nullptr, printer.get(), name.c_str(), nullptr, nullptr, 0);
    if (driverSize <= 0) return false;
    size_t stored = 0;
    if (info->pDevMode) {
        // Trust the stored record's own sizes only as far as the spooler's block reaches.
        auto* at = reinterpret_cast<plat::BYTE*>(info->pDevMode);
        size_t offset = static_cast<size_t>(at - infoBlock.data());
        constexpr size_t header = offsetof(plat::DEVMODEW, dmFields) + sizeof(DWORD);
        if (at < infoBlock.data() || offset + header > needed) return false;
        stored = size_t(info->pDevMode->dmSize) + info->pDevMode->dmDriverExtra;
        if (stored < header || offset + stored > needed) return false;
    }
    Block devModeBlock(std::max({static_cast<size_t>(driverSize), stored, sizeof(plat::DEVMODEW)}));
    auto* devMode = reinterpret_cast<plat::DEVMODEW*>(devModeBlock.data());
    if (info->pDevMode) {
        std::memcpy(devMode, info->pDevMode, stored);
    } else if (spooler.DocumentPropertiesW(nullptr, printer.get(), name.c_str(), devMode, nullptr, plat::DM_OUT_BUFFER) !=
               plat::IDOK) {
        return false;
    }
    info->pDevMode = devMode;
    if (!(devMode->dmFields & plat::DM_ORIENTATION)) return false;

    info->Attributes &= ~plat::PRINTER_ATTRIBUTE_ENABLE_BIDI;
    info->pSecurityDescriptor = nullptr;   // leave the queue's security as it is
    if (spooler.DocumentPropertiesW(nullptr, printer.get(), name.c_str(), devMode, devMode,
                                    plat::DM_IN_BUFFER | plat::DM_OUT_BUFFER) != plat::IDOK)
        return false;
    if (!spooler.SetPrinterW(printer.get(), 2, infoBlock.data(), 0)) return false;

    plat::ULONG_PTR result = 0;
    env.p.user.SendMessageTimeoutW(plat::HWND_BROADCAST, plat::WM_DEVMODECHANGE, 0,
                                   reinterpret_cast<plat::LPARAM>(name.c_str()), plat::SMTO_NORMAL, 1000, &result);
    return true;
}

}  // namespace engine
