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
    Text environment;
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

struct SpoolerState {
    std::u16string driverDirectory = u"C:\\Windows\\System32\\spool\\drivers\\x64";
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
    SimDriver* FindDriver(const std::u16string& name);
    // Builders for fixtures: a queue (and its driver, when missing) as an earlier install left it.
    SimPrinter& AddPrinter(const std::u16string& name, const std::u16string& port = u"USB001",
                           const std::u16string& driver = {});
    SimDriver& AddDriver(const std::u16string& name);
};

}  // namespace sim
