#include "engine/install_worker.h"

#include "engine/pnp.h"
#include "engine/registration.h"

namespace engine {
namespace {

// Passes codes on and remembers that one was shown.
class CountingReporter final : public IErrorReporter {
public:
    explicit CountingReporter(IErrorReporter& inner) : inner_(inner) {}
    void ShowErrorCode(const std::u16string& code) override {
        shown_ = true;
        inner_.ShowErrorCode(code);
    }
    bool shown() const { return shown_; }

private:
    IErrorReporter& inner_;
    bool shown_ = false;   // the worker's own thread only
};

}  // namespace

bool TakesPlugAndPlayPath(const CInstallRequest& r) {
    return r.modelName == r.detectedModel && r.detectedDataFile == r.dataFileName &&
           r.driverKind != kUniversalDriverKind;
}

plat::DWORD InstallThreadProc(const Env& outer, std::unique_ptr<CInstallRequest> request) {
    if (!request) return 0;
    const CInstallRequest r = *request;
    CountingReporter errors(outer.errors);
    const Env env{outer.p, errors, outer.log};
    bool installed = false;
    try {
        bool done = false;
        if (TakesPlugAndPlayPath(r) && InstallByPlugAndPlay(env, r.packageFamily)) {
            // The queue is plug-and-play's; its name carries no copy suffix. The answer is not looked at.
            std::u16string name = kBrandPrefix + r.modelName;
            env.p.spooler.SetDefaultPrinterW(name.c_str());
            installed = done = true;
        }
        if (!done)
            installed = InstallByRegistration(env, r.driverKind, r.modelName, r.portName, r.dataFileName, r.packageFamily);
    } catch (...) {
        installed = false;   // out of memory: the wizard still gets its one answer
    }
    if (!installed && !errors.shown()) errors.ShowErrorCode(kUnreportedFailureCode);
    env.p.user.SendMessageW(r.hwndNotify, WM_INSTALL_RESULT, 0, installed ? 1 : 0);
    request.reset();
    return 0;
}

}  // namespace engine
