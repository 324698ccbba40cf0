// The directives of the engine's part of a scenario: the delivery folder, the files of the
// machine, the spooler, the services, the devices, scripted failures, the request and the steps.
#include <algorithm>
#include <initializer_list>

#include "platform/text.h"
#include "setupsim/scenario.h"

namespace setupsim {
namespace {

using plat::DWORD;

constexpr uint32_t kMaxGeneratedBytes = 64u << 20;

// Rejects what a directive does not know, so that a typo is not silently ignored.
void Check(const Directive& d, size_t minArgs, size_t maxArgs, std::initializer_list<const char*> options) {
    if (d.args.size() < minArgs) d.Fail("too few arguments");
    if (d.args.size() > maxArgs) d.Fail("unexpected \"" + d.args[maxArgs] + "\"");
    for (const auto& option : d.options)
        if (std::none_of(options.begin(), options.end(), [&](const char* k) { return option.first == k; }))
            d.Fail("unknown option \"" + option.first + "\"");
}

bool YesNo(const Directive& d, const std::string& value, const char* what) {
    if (value == "yes" || value == "on") return true;
    if (value == "no" || value == "off") return false;
    d.Fail(std::string("expected yes or no for ") + what + ", not \"" + value + "\"");
}

std::optional<uint32_t> Duration(const Directive& d, const std::string& value, const char* what) {
    if (value == "never") return std::nullopt;
    return ParseNumber(d, value, what);
}

DWORD StateOf(const Directive& d, const std::string& s) {
    if (s == "running") return plat::SERVICE_RUNNING;
    if (s == "stopped") return plat::SERVICE_STOPPED;
    if (s == "stop-pending") return plat::SERVICE_STOP_PENDING;
    if (s == "start-pending") return plat::SERVICE_START_PENDING;
    if (s == "paused") return plat::SERVICE_PAUSED;
    d.Fail("unknown service state \"" + s + "\"");
}

PackageSpec SpecOf(const Directive& d) {
    PackageSpec package;
    if (auto f = d.Option("family")) package.family = static_cast<int>(ParseNumber(d, *f, "family"));
    if (auto v = d.Option("version")) package.version = *v;
    if (auto a = d.Option("arch")) {
        if (*a != "X64" && *a != "i386") d.Fail("arch is X64 or i386");
        package.x64 = *a == "X64";
    }
    if (auto g = d.Option("gpd")) {
        size_t start = 0;
        while (start <= g->size()) {
            size_t comma = g->find(',', start);
            std::string name = g->substr(start, comma == std::string::npos ? std::string::npos : comma - start);
            if (!name.empty()) package.dataFiles.push_back(name);
            start = comma == std::string::npos ? g->size() + 1 : comma + 1;
        }
    }
    if (auto i = d.Option("inf")) package.withInf = YesNo(d, *i, "inf");
    return package;
}

std::string ContentOf(const Directive& d, size_t index, const std::string& fallback) {
    if (auto size = d.Option("size")) {
        uint32_t n = ParseNumber(d, *size, "size");
        if (n > kMaxGeneratedBytes) d.Fail("size is at most " + std::to_string(kMaxGeneratedBytes));
        std::string bytes(n, '\0');
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>('a' + i % 26);
        return bytes;
    }
    return index < d.args.size() ? d.args[index] : fallback;
}

std::u16string FontsSource(const sim::Machine& m) {
    const std::u16string& path = m.system.modulePath;
    return path.substr(0, path.rfind(u'\\') + 1) + u"字体\\";
}

void AddEngineDirectives(Registry& r) {
    r.AddDirective("module", "module PATH                    Setup's own path (the delivery folder is its folder)",
                   [](DirectiveContext& c) {
                       Check(c.d, 1, 1, {});
                       c.machine.system.modulePath = U16(c.d.args[0]);
                   });
    r.AddDirective("arch", "arch x64|x86|ia64|arm64        the native processor architecture", [](DirectiveContext& c) {
        Check(c.d, 1, 1, {});
        const std::string& a = c.d.args[0];
        plat::WORD value = a == "x64"     ? plat::PROCESSOR_ARCHITECTURE_AMD64
                           : a == "x86"   ? plat::PROCESSOR_ARCHITECTURE_INTEL
                           : a == "ia64"  ? plat::PROCESSOR_ARCHITECTURE_IA64
                           : a == "arm64" ? plat::PROCESSOR_ARCHITECTURE_ARM64
                                          : 0xFFFF;
        if (value == 0xFFFF) c.d.Fail("unknown architecture \"" + a + "\"");
        c.machine.SetArchitecture(value, c.machine.system.processArchitecture);
    });
    r.AddDirective("process", "process 32|64   Setup as the 32-bit program it ships as (default; WOW64 on 64-bit Windows) or its 64-bit twin",
                   [](DirectiveContext& c) {
                       Check(c.d, 1, 1, {});
                       plat::WORD native = c.machine.system.nativeArchitecture;
                       if (c.d.args[0] == "32") {
                           c.machine.SetArchitecture(native, plat::PROCESSOR_ARCHITECTURE_INTEL);
                       } else if (c.d.args[0] == "64") {
                           if (native == plat::PROCESSOR_ARCHITECTURE_INTEL) c.d.Fail("a 64-bit process needs a 64-bit machine");
                           c.machine.SetArchitecture(native, native);
                       } else {
                           c.d.Fail("process is 32 or 64");
                       }
                   });
    r.AddDirective("file", "file PATH [TEXT] [size=N] [attr=readonly,hidden]   a file of the machine",
                   [](DirectiveContext& c) {
                       Check(c.d, 1, 2, {"size", "attr"});
                       DWORD attributes = plat::FILE_ATTRIBUTE_ARCHIVE;
                       if (auto a = c.d.Option("attr")) {
                           for (const auto& word : {std::string("readonly"), std::string("hidden")})
                               if (a->find(word) != std::string::npos)
                                   attributes |= word == "readonly" ? plat::FILE_ATTRIBUTE_READONLY : plat::FILE_ATTRIBUTE_HIDDEN;
                       }
                       c.machine.AddFile(U16(c.d.args[0]), ContentOf(c.d, 1, ""), attributes);
                   });
    r.AddDirective("dir", "dir PATH                       an empty folder", [](DirectiveContext& c) {
        Check(c.d, 1, 1, {});
        c.machine.AddDirectory(U16(c.d.args[0]));
    });
    r.AddDirective("package",
                   "package [family=N] [version=V] [arch=X64|i386] [gpd=A.GPD,B.GPD] [inf=no]   the driver package beside Setup",
                   [](DirectiveContext& c) {
                       Check(c.d, 0, 0, {"family", "version", "arch", "gpd", "inf"});
                       AddPackage(c.machine, SpecOf(c.d));
                   });
    r.AddDirective("installed", "installed [family=N] [version=V] [gpd=...]   the driver directory after an earlier install",
                   [](DirectiveContext& c) {
                       Check(c.d, 0, 0, {"family", "version", "gpd"});
                       AddInstalledFiles(c.machine, SpecOf(c.d));
                   });
    r.AddDirective("font", "font NAME [TEXT] [size=N] [sub=FOLDER]   a file of the delivery's font folder",
                   [](DirectiveContext& c) {
                       Check(c.d, 1, 2, {"size", "sub"});
                       std::u16string folder = FontsSource(c.machine);
                       if (auto sub = c.d.Option("sub")) folder += U16(*sub) + u"\\";
                       c.machine.AddFile(folder + U16(c.d.args[0]), ContentOf(c.d, 1, c.d.args[0] + " font\n"));
                   });
    r.AddDirective("installed-font", "installed-font NAME [TEXT] [size=N]   a file of the system font folder",
                   [](DirectiveContext& c) {
                       Check(c.d, 1, 2, {"size"});
                       c.machine.AddFile(c.machine.system.fontsFolder + u"\\" + U16(c.d.args[0]),
                                         ContentOf(c.d, 1, c.d.args[0] + " font\n"));
                   });
    r.AddDirective("locked", "locked PATH [error=32|5]       refuses overwrite while the Spooler runs (bare names: driver directory)",
                   [](DirectiveContext& c) {
                       Check(c.d, 1, 1, {"error"});
                       std::u16string path = U16(c.d.args[0]);
                       if (path.find(u'\\') == std::u16string::npos) path = c.machine.spooler.driverDirectory + u"\\" + path;
                       DWORD error = plat::ERROR_SHARING_VIOLATION;
                       if (auto e = c.d.Option("error")) error = ParseNumber(c.d, *e, "error");
                       c.machine.LockWhileSpoolerRuns(path, error);
                   });
    r.AddDirective("driver-directory", "driver-directory PATH          the spooler's driver directory", [](DirectiveContext& c) {
        Check(c.d, 1, 1, {});
        c.machine.spooler.driverDirectory = U16(c.d.args[0]);
        c.machine.AddDirectory(c.machine.spooler.driverDirectory);
    });
    r.AddDirective("port", "port NAME...                   ports of the spooler", [](DirectiveContext& c) {
        Check(c.d, 1, 64, {});
        for (const auto& name : c.d.args) {
            auto& ports = c.machine.spooler.ports;
            if (std::find(ports.begin(), ports.end(), U16(name)) == ports.end()) ports.push_back(U16(name));
        }
    });
    r.AddDirective("printer", "printer NAME [port=P] [driver=D] [bidi=on|off] [devmode=yes|no]   a present queue",
                   [](DirectiveContext& c) {
                       Check(c.d, 1, 1, {"port", "driver", "bidi", "devmode"});
                       auto& q = c.machine.spooler.AddPrinter(U16(c.d.args[0]), U16(c.d.Option("port").value_or("USB001")),
                                                              U16(c.d.Option("driver").value_or("")));
                       if (auto b = c.d.Option("bidi"); b && !YesNo(c.d, *b, "bidi"))
                           q.attributes &= ~plat::PRINTER_ATTRIBUTE_ENABLE_BIDI;
                       if (auto m = c.d.Option("devmode"); m && !YesNo(c.d, *m, "devmode")) q.devMode.reset();
                   });
    r.AddDirective("driver", "driver NAME                    a registered driver", [](DirectiveContext& c) {
        Check(c.d, 1, 1, {});
        c.machine.spooler.AddDriver(U16(c.d.args[0]));
    });
    r.AddDirective("default-printer", "default-printer NAME           the default printer", [](DirectiveContext& c) {
        Check(c.d, 1, 1, {});
        c.machine.spooler.defaultPrinter = U16(c.d.args[0]);
    });
    r.AddDirective("driver-model", "driver-model [orientation=yes|no] [extra=N]   device mode of drivers registered later",
                   [](DirectiveContext& c) {
                       Check(c.d, 0, 0, {"orientation", "extra"});
                       auto& model = c.machine.spooler.newDriverModel;
                       if (auto o = c.d.Option("orientation")) {
                           if (YesNo(c.d, *o, "orientation")) model.devModeFields |= plat::DM_ORIENTATION;
                           else model.devModeFields &= ~plat::DM_ORIENTATION;
                       }
                       if (auto e = c.d.Option("extra"))
                           model.driverExtra = static_cast<plat::WORD>(std::min<uint32_t>(ParseNumber(c.d, *e, "extra"), 0x7FFF));
                   });
    r.AddDirective("queue-devmode", "queue-devmode driver|none      device mode of a queue added without one",
                   [](DirectiveContext& c) {
                       Check(c.d, 1, 1, {});
                       if (c.d.args[0] != "driver" && c.d.args[0] != "none") c.d.Fail("driver or none");
                       c.machine.spooler.queueGetsDriverDevMode = c.d.args[0] == "driver";
                   });
    r.AddDirective("driver-files", "driver-files checked|unchecked   whether driver registration needs its files",
                   [](DirectiveContext& c) {
                       Check(c.d, 1, 1, {});
                       if (c.d.args[0] != "checked" && c.d.args[0] != "unchecked") c.d.Fail("checked or unchecked");
                       c.machine.spooler.driverFilesMustExist = c.d.args[0] == "checked";
                   });
    r.AddDirective("service",
                   "service NAME [state=S] [wait-hint=MS] [stop=MS|never] [start=MS|never] [stop-error=N] [start-error=N]",
                   [](DirectiveContext& c) {
                       Check(c.d, 1, 1, {"state", "wait-hint", "stop", "start", "stop-error", "start-error"});
                       sim::SimService& s = c.machine.services.Get(U16(c.d.args[0]));
                       if (auto v = c.d.Option("state")) s.state = StateOf(c.d, *v);
                       if (auto v = c.d.Option("wait-hint")) s.waitHint = ParseNumber(c.d, *v, "wait-hint");
                       if (auto v = c.d.Option("stop")) s.stopTakesMs = Duration(c.d, *v, "stop");
                       if (auto v = c.d.Option("start")) s.startTakesMs = Duration(c.d, *v, "start");
                       if (auto v = c.d.Option("stop-error")) s.stopError = ParseNumber(c.d, *v, "stop-error");
                       if (auto v = c.d.Option("start-error")) s.startError = ParseNumber(c.d, *v, "start-error");
                       // A pending state given here arrives after its own duration from now.
                       if (s.state == plat::SERVICE_STOP_PENDING) s.pendingUntil = c.machine.NowMs() + s.stopTakesMs.value_or(0);
                       if (s.state == plat::SERVICE_START_PENDING) s.pendingUntil = c.machine.NowMs() + s.startTakesMs.value_or(0);
                   });
    r.AddDirective("device",
                   "device INSTANCE-ID [hwid=ID]... [class=Printer] [update-error=N] [queue-port=P|none] [absent]",
                   [](DirectiveContext& c) {
                       Check(c.d, 1, 2, {"hwid", "class", "update-error", "queue-port"});
                       if (c.d.args.size() == 2 && c.d.args[1] != "absent") c.d.Fail("unexpected \"" + c.d.args[1] + "\"");
                       sim::SimDevice dev;
                       dev.instanceId = U16(c.d.args[0]);
                       for (const auto& id : c.d.Options("hwid")) dev.hardwareIds.push_back(U16(id));
                       dev.className = U16(c.d.Option("class").value_or("Printer"));
                       if (dev.className == u"Printer") dev.classGuid = plat::GUID_DEVCLASS_PRINTER;
                       if (dev.className == u"Ports") dev.classGuid = plat::GUID_DEVCLASS_PORTS;
                       if (auto e = c.d.Option("update-error")) dev.driverUpdateError = ParseNumber(c.d, *e, "update-error");
                       if (auto p = c.d.Option("queue-port")) dev.queuePort = *p == "none" ? u"" : U16(*p);
                       dev.present = !c.d.Flag("absent");
                       c.machine.devices.AddDevice(dev);
                   });
    r.AddDirective("staging", "staging RESULT...              SetupCopyOEMInfW's results in turn: ok or an error code",
                   [](DirectiveContext& c) {
                       Check(c.d, 1, 64, {});
                       for (size_t i = 0; i < c.d.args.size(); ++i)
                           if (c.d.args[i] != "ok")
                               c.machine.FailCall("SetupCopyOEMInfW", ParseNumber(c.d, c.d.args[i], "staging result"),
                                                  static_cast<int>(i + 1), 1);
                   });
    r.AddDirective("fail", "fail OP ERROR [at=N] [times=N|always]   the N-th call of OP fails with ERROR",
                   [](DirectiveContext& c) {
                       Check(c.d, 2, 2, {"at", "times"});
                       int at = static_cast<int>(ParseNumber(c.d, c.d.Option("at").value_or("1"), "at"));
                       std::string t = c.d.Option("times").value_or("1");
                       int times = t == "always" ? 0 : static_cast<int>(ParseNumber(c.d, t, "times"));
                       if (at < 1 || (t != "always" && times < 1)) c.d.Fail("at and times count from 1");
                       c.machine.FailCall(c.d.args[0], ParseNumber(c.d, c.d.args[1], "error"), at, times);
                   });
    r.AddDirective("request",
                   "request model=M [port=P] [data=F] [family=N] [detected=M] [detected-data=F] [kind=K]   the install request",
                   [](DirectiveContext& c) {
                       Check(c.d, 0, 0, {"model", "port", "data", "family", "detected", "detected-data", "kind"});
                       auto model = c.d.Option("model");
                       if (!model) c.d.Fail("model= is needed");
                       engine::CInstallRequest r;
                       r.modelName = U16(*model);
                       r.portName = U16(c.d.Option("port").value_or("USB001"));
                       r.dataFileName = U16(c.d.Option("data").value_or(*model + ".GPD"));
                       r.packageFamily = static_cast<int32_t>(ParseNumber(c.d, c.d.Option("family").value_or("0"), "family"));
                       r.detectedModel = U16(c.d.Option("detected").value_or(""));
                       r.detectedDataFile = c.d.Option("detected-data") ? U16(*c.d.Option("detected-data")) : r.dataFileName;
                       r.driverKind = U16(c.d.Option("kind").value_or(""));
                       c.scenario.request = r;
                   });
    r.AddDirective("run", "run STEP...                    steps in order (fonts, prepare, install, restore, ...)",
                   [](DirectiveContext& c) {
                       Check(c.d, 1, 16, {});
                       c.scenario.steps.insert(c.scenario.steps.end(), c.d.args.begin(), c.d.args.end());
                   });
}

}  // namespace

void AddEngineSteps(Registry& registry);   // runner.cpp

void AddEngineVocabulary(Registry& registry) {
    AddEngineDirectives(registry);
    AddEngineSteps(registry);
}

}  // namespace setupsim
