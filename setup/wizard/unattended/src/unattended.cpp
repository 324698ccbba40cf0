#include "unattended/unattended.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "detect/catalog.h"
#include "detect/detection_flow.h"
#include "engine/driver_copy.h"
#include "engine/fonts.h"
#include "engine/install_worker.h"
#include "engine/uninstall.h"
#include "platform/text.h"

namespace unattended {
namespace {

using plat::DWORD;

constexpr char16_t kCaption[] = u"墨川科技有限公司";

// The account of a run: standard error, the /log file (UTF-8, CR LF) and, for the errors, the
// installation log. Lines come from the worker's thread too.
class Account {
public:
    Account(const engine::Env& env, const Output& output) : env_(env), output_(output) {}
    ~Account() {
        if (file_ != plat::INVALID_HANDLE_VALUE) env_.p.files.CloseHandle(file_);
    }

    bool OpenLog(const std::u16string& path) {
        file_ = env_.p.files.CreateFileW(path.c_str(), plat::GENERIC_WRITE, plat::FILE_SHARE_READ, plat::CREATE_ALWAYS,
                                         plat::FILE_ATTRIBUTE_NORMAL);
        return file_ != plat::INVALID_HANDLE_VALUE;
    }

    // A step: the /log file only.
    void Step(const std::u16string& text) { ToFile(text); }

    // What a user must see: standard error and the /log file.
    void Tell(const std::u16string& text) {
        ToFile(text);
        if (output_.errorStream) output_.errorStream("Setup: " + plat::ToUtf8(text));
    }

private:
    void ToFile(const std::u16string& text) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (file_ == plat::INVALID_HANDLE_VALUE) return;
        std::string bytes = plat::ToUtf8(text) + "\r\n";
        DWORD written = 0;
        env_.p.files.WriteFile(file_, bytes.data(), static_cast<DWORD>(bytes.size()), &written);
    }

    const engine::Env& env_;
    const Output& output_;
    std::mutex mutex_;
    plat::HANDLE file_ = plat::INVALID_HANDLE_VALUE;
};

// In place of the error dialog: the code is told and logged, and the first one is kept as the
// exit code, since it is the first dialog the wizard would show.
class SilentErrors final : public engine::IErrorReporter {
public:
    SilentErrors(engine::InstallLog& log, Account& account) : log_(log), account_(account) {}
    void ShowErrorCode(const std::u16string& code) override {
        log_.Write(u"错误代码 " + code, false);
        account_.Tell(u"错误代码 " + code);
        int value = 0;
        for (char16_t c : code) value = c >= u'0' && c <= u'9' && value < 1000 ? value * 10 + (c - u'0') : value;
        int expected = 0;
        first_.compare_exchange_strong(expected, value > 0 ? value : engine::kUnreportedFailureCode[0] - u'0');
        ++count_;
    }
    int first() const { return first_.load(); }
    int count() const { return count_.load(); }

private:
    engine::InstallLog& log_;
    Account& account_;
    std::atomic<int> first_{0};
    std::atomic<int> count_{0};
};

// The system's windows, without any: boxes become lines of the account, the worker's result is
// kept, and a close sent to the wizard goes nowhere. Broadcasts (fonts, device modes) still go out.
class SilentUser final : public plat::IUser {
public:
    SilentUser(plat::IUser& inner, Account& account, bool boxes) : inner_(inner), account_(account), boxes_(boxes) {}
    plat::LRESULT SendMessageW(plat::HWND w, DWORD m, plat::WPARAM wp, plat::LPARAM lp) override {
        if (w == kSilentNotifyWindow) {
            if (m == engine::WM_INSTALL_RESULT) result_ = lp;
            return 0;
        }
        if (w == nullptr) return 0;
        return inner_.SendMessageW(w, m, wp, lp);
    }
    plat::LRESULT SendMessageTimeoutW(plat::HWND w, DWORD m, plat::WPARAM wp, plat::LPARAM lp, DWORD f, DWORD t,
                                      plat::ULONG_PTR* r) override {
        return inner_.SendMessageTimeoutW(w, m, wp, lp, f, t, r);
    }
    int MessageBoxW(plat::HWND o, const char16_t* text, const char16_t* caption, DWORD type) override {
        if (boxes_) return inner_.MessageBoxW(o, text, caption, type);
        account_.Tell(std::u16string(caption ? caption : u"") + u": " + (text ? text : u""));
        return plat::IDOK;
    }
    plat::HANDLE LoadCursorW(const char16_t* n) override { return inner_.LoadCursorW(n); }
    plat::HANDLE SetCursor(plat::HANDLE c) override { return c; }   // no window to show it
    int AddFontResourceW(const char16_t* f) override { return inner_.AddFontResourceW(f); }
    std::optional<plat::LPARAM> result() const { return result_; }

private:
    plat::IUser& inner_;
    Account& account_;
    bool boxes_;
    std::optional<plat::LPARAM> result_;
};

// The catalogue's models, read once from one path; nullopt when the file cannot be opened.
std::optional<std::vector<engine::UninstallModel>> CatalogueModels(const plat::Platform& p) {
    detect::CPrinterCatalog catalog(p);
    plat::HANDLE file = catalog.path().empty() ? plat::INVALID_HANDLE_VALUE
                                               : p.files.CreateFileW(catalog.path().c_str(), plat::GENERIC_READ,
                                                                     plat::FILE_SHARE_READ | plat::FILE_SHARE_WRITE,
                                                                     plat::OPEN_EXISTING, plat::FILE_ATTRIBUTE_NORMAL);
    if (file == plat::INVALID_HANDLE_VALUE || file == nullptr) return std::nullopt;
    p.files.CloseHandle(file);
    std::vector<std::u16string> table;
    size_t n = catalog.ReadModels(detect::kModelSection, table);
    std::vector<engine::UninstallModel> models;
    for (size_t i = 0; i < n; ++i)
        if (!table[i].empty()) models.push_back({table[i], table[i] + u".GPD"});
    return models;
}

const engine::UninstallModel* Find(const std::vector<engine::UninstallModel>& models, const std::u16string& name) {
    for (const auto& m : models)
        if (plat::ToUpper(m.name) == plat::ToUpper(name)) return &m;
    return nullptr;
}

int Install(const engine::Env& env, const Command& command, Account& account, SilentErrors& errors,
            SilentUser& user, const Output& output) {
    account.Step(u"开始无人值守安装");
    // The model page's detection, with a list that no one sees.
    detect::DetectionState detection;
    detect::CPrinterCatalog catalog(env.p);
    detect::PlainList models;
    std::u16string detected;
    int before = errors.count();
    detect::DetectPrinterModel(env, detection, catalog, nullptr, models, detected);
    if (errors.count() != before) return errors.first();   // no catalogue: the wizard closes
    account.Step(detected.empty() ? u"未检测到打印机" : u"检测到打印机: " + detected);
    std::u16string model;
    if (command.model) {
        for (const auto& entry : models.items)
            if (plat::ToUpper(entry) == plat::ToUpper(detect::kBrandPrefix + *command.model))
                model = entry.substr(std::u16string(detect::kBrandPrefix).size());
        if (model.empty()) {
            account.Tell(u"目录中没有型号: " + *command.model);
            return kExitUnknownModel;
        }
    } else {
        if (detected.empty()) {
            account.Tell(u"未给出型号 (/model), 也未检测到打印机");
            return kExitNoModel;
        }
        for (const auto& entry : models.items) {
            std::u16string name = entry.substr(std::u16string(detect::kBrandPrefix).size());
            if (plat::Contains(detected, name)) model = name;   // the last match, as the model page takes it
        }
        if (model.empty()) {
            account.Tell(u"检测到的打印机不在目录中: " + detected);
            return kExitUnknownModel;
        }
    }
    account.Step(u"型号: " + model);

    // Start-up as the wizard's, once the model is known (an unknown one leaves the machine
    // untouched): fonts, then the services, here before the install rather than beside a window.
    engine::InstallFonts(env);
    engine::PrepareServicesThreadProc(env);
    struct Restore {
        const engine::Env& env;
        ~Restore() { engine::RestorePcaService(env); }
    } restore{env};

    detect::PlainList ports;
    detect::FillPortList(env, detection, nullptr, ports);
    std::u16string port;
    if (command.port) {
        for (const auto& entry : ports.items)
            if (plat::ToUpper(entry) == plat::ToUpper(*command.port)) port = entry;
        if (port.empty()) {
            account.Tell(u"没有此端口: " + *command.port);
            return kExitNoSuchPort;
        }
    } else {
        if (ports.GetCurSel() < 0) {
            account.Tell(u"未给出端口 (/port), 也没有USB或并口端口");
            return kExitNoSuchPort;
        }
        port = ports.GetText(ports.GetCurSel());
    }
    account.Step(u"端口: " + port);

    auto request = std::make_unique<engine::CInstallRequest>();
    request->hwndNotify = kSilentNotifyWindow;
    request->modelName = model;
    request->portName = port;
    request->dataFileName = model + u".GPD";
    request->packageFamily = 0;
    request->detectedModel = detected;
    request->detectedDataFile = model + u".GPD";
    if (output.beforeInstall) output.beforeInstall();
    account.Step(u"安装驱动程序和打印机");
    engine::InstallThreadProc(env, std::move(request));
    bool installed = user.result().value_or(0) == 1;
    if (errors.first()) return errors.first();
    if (!installed) return engine::kUnreportedFailureCode[0] - u'0';   // the worker always reports; kept safe
    account.Step(u"安装成功: Halvorin " + model + u" 在 " + port);
    return kExitSuccess;
}

int Uninstall(const engine::Env& env, const Command& command, Account& account) {
    account.Step(u"开始卸载");
    auto read = CatalogueModels(env.p);
    if (!read) {
        account.Tell(u"无法打开型号目录 PrinterInfo.ini");
        return 1;   // the wizard's code for a missing catalogue
    }
    const std::vector<engine::UninstallModel>& catalogue = *read;
    std::vector<engine::UninstallModel> targets = catalogue;
    if (command.model) {
        const engine::UninstallModel* m = Find(catalogue, *command.model);
        if (!m) {
            account.Tell(u"目录中没有型号: " + *command.model);
            return kExitUnknownModel;
        }
        targets = {*m};
    }
    engine::UninstallReport report = engine::Uninstall(env, targets, catalogue, 0);
    std::u16string summary;
    for (const auto& q : report.queues) summary += u"已删除打印机: " + q + u"\r\n";
    for (const auto& d : report.drivers) summary += u"已删除驱动程序: " + d + u"\r\n";
    for (const auto& i : report.infs) summary += u"已删除驱动程序包: " + i + u"\r\n";
    for (const auto& i : report.infsInUse) summary += u"驱动程序包仍被设备使用, 已保留: " + i + u"\r\n";
    for (const auto& f : report.failures) summary += u"未能完成: " + f + u"\r\n";
    if (report.removedNothing() && report.complete() && report.infsInUse.empty()) summary += u"没有需要卸载的内容。\r\n";
    for (size_t at = 0; at < summary.size();) {
        size_t end = summary.find(u"\r\n", at);
        std::u16string line = summary.substr(at, end - at);
        if (command.silent) account.Tell(line);
        else account.Step(line);
        at = end + 2;
    }
    if (!command.silent)
        env.p.user.MessageBoxW(nullptr, summary.c_str(), kCaption,
                               report.complete() ? plat::MB_ICONINFORMATION : plat::MB_ICONERROR);
    return report.complete() ? kExitSuccess : kExitUninstallIncomplete;
}

}  // namespace

int Run(const engine::Env& outer, const Command& command, const Output& output) {
    Account account(outer, output);
    const bool boxes = !command.silent && command.mode != Mode::Install;
    SilentUser user(outer.p.user, account, boxes);
    plat::Platform p{outer.p.sys, outer.p.files, outer.p.spooler, outer.p.services, outer.p.registry,
                     outer.p.devsetup, outer.p.devices, user};
    SilentErrors errors(outer.log, account);
    const engine::Env env{p, errors, outer.log};

    switch (command.mode) {
        case Mode::Usage:
            p.user.MessageBoxW(nullptr, UsageText().c_str(), kCaption, plat::MB_ICONINFORMATION);
            return kExitSuccess;
        case Mode::Bad:
            if (command.silent) {
                account.Tell(command.error);
            } else {
                std::u16string text = command.error + u"\r\n\r\n" + UsageText();
                p.user.MessageBoxW(nullptr, text.c_str(), kCaption, plat::MB_ICONERROR);
            }
            return kExitBadArguments;
        case Mode::Wizard: return kExitBadArguments;   // the caller runs the wizard itself
        default: break;
    }
    if (command.log && !account.OpenLog(*command.log)) {
        account.Tell(u"无法写入日志文件: " + *command.log);
        return kExitBadArguments;
    }
    try {
        return command.mode == Mode::Install ? Install(env, command, account, errors, user, output)
                                             : Uninstall(env, command, account);
    } catch (...) {
        account.Tell(u"内存不足");   // out of memory: still an answer for the script
        return engine::kUnreportedFailureCode[0] - u'0';
    }
}

}  // namespace unattended
