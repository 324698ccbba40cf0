// Detection's part of a scenario: the printers on USB and parallel ports, the catalogue beside
// Setup, the spooler's port list, and the two page flows run as the wizard's model and port
// pages run them. The pages' result becomes the install request, as the install page makes it.
//
//   usb-printer VID&PID [serial=S] [port-number=N|none] [id=TEXT|none] [count=N] [hwid=ID]... [queue-port=P]
//   lpt-port NAME [friendly=TEXT] [instance=ID]      a "Ports" device with the parallel interface
//   com-port NAME                                    a "Ports" device without it
//   parallel-printer INSTANCE-ID [on=LPT1] [id=TEXT] [after-rescan]
//   catalog [vid=V|none] [pid=P|none] [counts=N] [encoding=ansi|utf16] MODEL...
//   spooler-ports NAME...                            the spooler's ports, exactly and in order
//   wizard [family=N] [kind=K]                       the install request comes from the pages
//   run models | ports | detect (both pages; a closed wizard ends it)
#include <cstdio>
#include <memory>

#include "detect/detection_flow.h"
#include "detect_testing/machine_builders.h"
#include "platform/text.h"
#include "setupsim/runner.h"
#include "setupsim/scenario.h"
#include "wizard/wizard_logic.h"

namespace setupsim {
namespace {

using plat::DWORD;

// What the wizard keeps between its pages, for the whole run.
struct Wizard {
    detect::DetectionState detection;
    detect::PlainList models, ports;
    std::u16string detectedModel, modelName, portName;
    bool closed = false;
    bool ran = false;   // a page ran: the summary shows the result
    int lptPorts = 0;   // for generated instance IDs
};

std::shared_ptr<Wizard> WizardOf(Scenario& s) {
    auto it = s.extensions.find("detection");
    if (it == s.extensions.end()) it = s.extensions.emplace("detection", std::make_shared<Wizard>()).first;
    return std::any_cast<std::shared_ptr<Wizard>>(it->second);
}

void Check(const Directive& d, size_t minArgs, size_t maxArgs, std::initializer_list<const char*> options) {
    if (d.args.size() < minArgs) d.Fail("too few arguments");
    if (d.args.size() > maxArgs) d.Fail("unexpected \"" + d.args[maxArgs] + "\"");
    for (const auto& [key, value] : d.options) {
        bool known = false;
        for (const char* k : options) known |= key == k;
        if (!known) d.Fail("unknown option \"" + key + "\"");
    }
}

// Device IDs are written in UTF-8 and sent in the machine's code page, as a device would.
std::string DeviceBytes(sim::Machine& m, const std::string& utf8) { return plat::TextToAnsi(m, U16(utf8)); }

std::string Escape(const std::u16string& text) {
    std::string out;
    for (char c : plat::ToUtf8(text)) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return "\"" + out + "\"";
}

std::string ListLine(const char* what, const detect::PlainList& list) {
    std::string items;
    for (const auto& item : list.items) items += (items.empty() ? "" : ", ") + Escape(item);
    std::string selected = list.GetCurSel() < 0 ? "nothing selected"
                                                : "selected " + std::to_string(list.GetCurSel()) + " " +
                                                      Escape(list.GetText(list.GetCurSel()));
    return std::string(what) + " [" + items + "], " + selected;
}

// Leaving a page: the chosen entry is kept, and the request follows the wizard's fields.
void UpdateRequest(Scenario& s, const Wizard& w) {
    if (!s.request) return;
    s.request->modelName = w.modelName;
    s.request->dataFileName = w.modelName + u".GPD";
    s.request->detectedModel = w.detectedModel;
    s.request->detectedDataFile = w.modelName + u".GPD";
    s.request->portName = w.portName;
}

// Runs fn with WM_CLOSE to the wizard window noted.
template <typename F> bool ClosesWizard(RunContext& c, F fn) {
    auto previous = c.machine.windowProc;
    bool closed = false;
    c.machine.windowProc = [&](plat::HWND window, DWORD message, plat::WPARAM wp, plat::LPARAM lp) -> plat::LRESULT {
        if (window == kWizardWindow && message == plat::WM_CLOSE) closed = true;
        return previous ? previous(window, message, wp, lp) : 0;
    };
    fn();
    c.machine.windowProc = previous;
    return closed;
}

void ModelPage(RunContext& c) {
    auto w = WizardOf(c.scenario);
    w->ran = true;
    detect::CPrinterCatalog catalog(c.env.p);
    w->closed = ClosesWizard(c, [&] {
        detect::DetectPrinterModel(c.env, w->detection, catalog, kWizardWindow, w->models, w->detectedModel);
    });
    c.Line(ListLine("model list", w->models));
    c.Line("detectedModel " + Escape(w->detectedModel) + ", filter " + Escape(w->detection.g_usbIdFilter));
    if (w->closed) {
        c.Line("the wizard closes");
        return;
    }
    if (w->models.GetCurSel() >= 0) w->modelName = wizard::ModelNameFromEntry(w->models.GetText(w->models.GetCurSel()));
    UpdateRequest(c.scenario, *w);
}

void PortPage(RunContext& c) {
    auto w = WizardOf(c.scenario);
    if (w->closed) return;
    bool flag = detect::FillPortList(c.env, w->detection, kWizardWindow, w->ports);
    c.Line(ListLine("port list", w->ports));
    c.Line(std::string("FillPortList returned ") + (flag ? "true" : "false (the page warns: no USB printer port)"));
    if (w->ports.GetCurSel() >= 0) w->portName = w->ports.GetText(w->ports.GetCurSel());
    UpdateRequest(c.scenario, *w);
}

void AddDetectionDirectives(Registry& r) {
    r.AddDirective("usb-printer",
                   "usb-printer VID&PID [serial=S] [port-number=N|none] [id=TEXT|none] [count=N] [hwid=ID]... "
                   "[queue-port=P]   a USB printer",
                   [](DirectiveContext& c) {
                       Check(c.d, 1, 1, {"serial", "port-number", "id", "count", "hwid", "queue-port"});
                       detect_testing::UsbPrinter u;
                       u.vidPid = U16(c.d.args[0]);
                       u.serial = U16(c.d.Option("serial").value_or("5&1a2b3c&0&" + std::to_string(c.machine.devices.devices.size() + 1)));
                       std::string port = c.d.Option("port-number").value_or("1");
                       if (port != "none") u.portNumber = ParseNumber(c.d, port, "port-number");
                       std::string id = c.d.Option("id").value_or("none");
                       if (id != "none") u.deviceId = DeviceBytes(c.machine, id);
                       int index = detect_testing::AddUsbPrinter(c.machine, u);
                       sim::SimDevice& dev = c.machine.devices.devices[static_cast<size_t>(index)];
                       if (auto n = c.d.Option("count")) dev.replyCountOverride = ParseNumber(c.d, *n, "count");
                       // What plug and play matches the package INF against, and the queue it then makes.
                       for (const auto& id : c.d.Options("hwid")) dev.hardwareIds.push_back(U16(id));
                       if (auto q = c.d.Option("queue-port")) {
                           dev.queuePort = U16(*q);
                       } else if (u.portNumber) {
                           char name[16];
                           std::snprintf(name, sizeof name, "USB%03u", static_cast<unsigned>(*u.portNumber));
                           dev.queuePort = U16(name);
                       }
                   });
    r.AddDirective("lpt-port", "lpt-port NAME [friendly=TEXT] [instance=ID]   a parallel port", [](DirectiveContext& c) {
        Check(c.d, 1, 1, {"friendly", "instance"});
        auto w = WizardOf(c.scenario);
        detect_testing::Port port;
        port.dosName = U16(c.d.args[0]);
        port.friendlyName = U16(c.d.Option("friendly").value_or("Printer Port (" + c.d.args[0] + ")"));
        port.instanceId = U16(c.d.Option("instance").value_or("ACPI\\PNP0401\\" + std::to_string(++w->lptPorts)));
        detect_testing::AddPort(c.machine, port);
    });
    r.AddDirective("com-port", "com-port NAME                  a serial port of class Ports", [](DirectiveContext& c) {
        Check(c.d, 1, 1, {});
        detect_testing::Port port{U16("Communications Port (" + c.d.args[0] + ")"), U16(c.d.args[0]),
                                  U16("ACPI\\PNP0501\\" + c.d.args[0]), false};
        detect_testing::AddPort(c.machine, port);
    });
    r.AddDirective("parallel-printer",
                   "parallel-printer INSTANCE-ID [on=LPT1] [id=TEXT] [after-rescan]   a device on a parallel port",
                   [](DirectiveContext& c) {
                       Check(c.d, 1, 2, {"on", "id"});
                       if (c.d.args.size() == 2 && c.d.args[1] != "after-rescan") c.d.Fail("unexpected \"" + c.d.args[1] + "\"");
                       std::u16string on = plat::ToUpper(U16(c.d.Option("on").value_or("LPT1")));
                       auto it = c.machine.devices.dosDevices.find(on);
                       if (it == c.machine.devices.dosDevices.end()) c.d.Fail("no lpt-port " + plat::ToUtf8(on) + " before it");
                       std::optional<std::string> id;
                       if (auto text = c.d.Option("id")) id = DeviceBytes(c.machine, *text);
                       detect_testing::AddParallelPrinter(c.machine, it->second, U16(c.d.args[0]), id, c.d.Flag("after-rescan"));
                   });
    r.AddDirective("catalog",
                   "catalog [vid=V|none] [pid=P|none] [counts=N] [encoding=ansi|utf16] MODEL...   PrinterInfo.ini beside Setup",
                   [](DirectiveContext& c) {
                       Check(c.d, 0, 600, {"vid", "pid", "counts", "encoding"});
                       detect_testing::Catalog catalog;
                       std::string vid = c.d.Option("vid").value_or("vid_6b1f"), pid = c.d.Option("pid").value_or("pid_0001");
                       catalog.vid = vid == "none" ? std::nullopt : std::optional<std::u16string>(U16(vid));
                       catalog.pid = pid == "none" ? std::nullopt : std::optional<std::u16string>(U16(pid));
                       catalog.counts = U16(c.d.Option("counts").value_or(""));
                       for (const auto& model : c.d.args) catalog.models.push_back(model == "-" ? u"" : U16(model));
                       std::string encoding = c.d.Option("encoding").value_or("ansi");
                       std::u16string text = detect_testing::CatalogText(catalog);
                       std::string bytes;
                       if (encoding == "ansi") {
                           bytes = plat::TextToAnsi(c.machine, text);
                       } else if (encoding == "utf16") {
                           bytes = "\xFF\xFE";
                           for (char16_t ch : text) bytes += {static_cast<char>(ch & 0xFF), static_cast<char>(ch >> 8)};
                       } else {
                           c.d.Fail("encoding is ansi or utf16");
                       }
                       c.machine.AddFile(detect_testing::CatalogPath(c.machine), bytes);
                   });
    r.AddDirective("spooler-ports", "spooler-ports NAME...          the spooler's ports, exactly, in its order",
                   [](DirectiveContext& c) {
                       Check(c.d, 0, 64, {});
                       c.machine.spooler.ports.clear();
                       for (const auto& name : c.d.args) c.machine.spooler.ports.push_back(U16(name));
                   });
    r.AddDirective("wizard", "wizard [family=N] [kind=K]     the install request comes from the model and port pages",
                   [](DirectiveContext& c) {
                       Check(c.d, 0, 0, {"family", "kind"});
                       engine::CInstallRequest request;
                       request.packageFamily = static_cast<int32_t>(ParseNumber(c.d, c.d.Option("family").value_or("0"), "family"));
                       request.driverKind = U16(c.d.Option("kind").value_or(""));
                       c.scenario.request = request;
                   });
}

}  // namespace

void AddDetectionVocabulary(Registry& registry) {
    AddDetectionDirectives(registry);
    registry.AddStep("models", ModelPage);
    registry.AddStep("ports", PortPage);
    registry.AddStep("detect", [](RunContext& c) {
        ModelPage(c);
        PortPage(c);
    });
    registry.AddSummary([](RunContext& c) {
        auto it = c.scenario.extensions.find("detection");
        if (it == c.scenario.extensions.end()) return;
        auto w = std::any_cast<std::shared_ptr<Wizard>>(it->second);
        if (!w->ran) return;
        c.transcript.Line("detection result: modelName " + Escape(w->modelName) + ", portName " + Escape(w->portName) +
                          ", detectedModel " + Escape(w->detectedModel));
    });
}

}  // namespace setupsim
