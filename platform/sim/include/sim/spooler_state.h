// The simulated print spooler's state: the driver directory, registered drivers with every
// DRIVER_INFO_6 field, printer queues with their PRINTER_INFO_2 fields and device mode, ports,
// print processors and the default printer, and how drivers behave towards DocumentPropertiesW.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/types.h"

namespace sim {

// A text field of a spooler record: nullopt stands for a null pointer.
using Text = std::optional<std::u16string>;

// How a registered driver's configuration module answers DocumentPropertiesW.
struct DriverModel {
    plat::DWORD devModeFields = plat::DM_ORIENTATION | 0x2 /*DM_PAPERSIZE*/ | 0x100 /*DM_COPIES*/;
    plat::WORD driverExtra = 0;   // bytes of the driver's private part after the public DEVMODEW
};

struct SimDriver {
    plat::DWORD cVersion = 3;
    std::u16string name;
    Text environment;              // as the caller gave it
    std::u16string environmentName;   // the one it was registered for (null: the caller's own)
    Text driverPath, dataFile, configFile, helpFile;
    std::optional<std::vector<std::u16string>> dependentFiles;   // the multi-string's names
    Text monitorName, defaultDataType;
    std::optional<std::vector<std::u16string>> previousNames;
    plat::FILETIME driverDate{};
    uint64_t driverVersion = 0;
    Text mfgName, oemUrl, hardwareId, provider;
    DriverModel model;
};

struct SimPrinter {
    Text serverName;
    std::u16string printerName;
    Text shareName;
    std::u16string portName;
    std::u16string driverName;
    Text comment, location, sepFile;
    std::u16string printProcessor = u"winprint";
    Text datatype = u"RAW";
    Text parameters;
    bool hasSecurityDescriptor = false;   // the queue's own security; rewritten only on request
    plat::DWORD attributes = plat::PRINTER_ATTRIBUTE_LOCAL;
    plat::DWORD priority = 0, defaultPriority = 0, startTime = 0, untilTime = 0, status = 0, cJobs = 0,
                averagePPM = 0;
    std::optional<std::string> devMode;   // DEVMODEW bytes with the driver's private part
};

// Environment names of the spooler.
inline constexpr char16_t kEnvX86[] = u"Windows NT x86";
inline constexpr char16_t kEnvX64[] = u"Windows x64";
inline constexpr char16_t kEnvIA64[] = u"Windows IA64";
inline constexpr char16_t kEnvARM64[] = u"Windows ARM64";

struct SpoolerState {
    // The machine's own environment and its driver directory; a 64-bit spooler also keeps
    // drivers for 32-bit clients (a 32-bit program's null environment means those).
    std::u16string environment = kEnvX64;
    std::u16string driverDirectory = u"C:\\Windows\\System32\\spool\\drivers\\x64";
    std::map<std::u16string, std::u16string> otherEnvironments = {
        {kEnvX86, u"C:\\Windows\\System32\\spool\\drivers\\W32X86"}};
    std::vector<std::u16string> ports = {u"LPT1:", u"LPT2:", u"LPT3:", u"COM1:", u"COM2:", u"FILE:"};
    std::vector<std::u16string> printProcessors = {u"winprint"};
    std::vector<SimDriver> drivers;
    std::vector<SimPrinter> printers;
    std::u16string defaultPrinter;

    // Behaviour.
    DriverModel newDriverModel;              // given to drivers that AddPrinterDriverW registers
    bool queueGetsDriverDevMode = true;      // AddPrinterW without a device mode stores the driver's default
    bool driverFilesMustExist = true;        // AddPrinterDriverW checks the main files, as Windows does

    // Open printer handles: the queue's name (empty for the print server) and the access granted.
    struct OpenPrinter {
        std::u16string name;
        plat::DWORD access = 0;
    };
    std::map<uintptr_t, OpenPrinter> handles;

    SimPrinter* FindPrinter(const std::u16string& name);   // names compared without regard to case
    // A driver of the environment (by default the machine's own).
    SimDriver* FindDriver(const std::u16string& name, const std::u16string& environment = {});
    // The driver directory of a known environment (compared without regard to case), or empty.
    std::u16string DriverDirectoryOf(const std::u16string& environment) const;
    std::u16string CanonicalEnvironment(const std::u16string& environment) const;   // empty if unknown
    // Builders for fixtures: a queue (and its driver, when missing) as an earlier install left it.
    SimPrinter& AddPrinter(const std::u16string& name, const std::u16string& port = u"USB001",
                           const std::u16string& driver = {});
    SimDriver& AddDriver(const std::u16string& name);
};

}  // namespace sim
