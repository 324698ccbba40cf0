// A simulated machine with everything the engine and detection need around it: the error
// dialog replaced by a recorder, and the installation log. One per test.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "engine/env.h"
#include "platform/text.h"
#include "sim/machine.h"
#include "sim/temp_dir.h"

namespace engine_testing {

// Records the codes the user would have seen, and puts them into the machine's event list so
// that transcripts show them in order.
class RecordingErrors final : public engine::IErrorReporter {
public:
    explicit RecordingErrors(sim::Machine& machine) : machine_(machine) {}
    void ShowErrorCode(const std::u16string& code) override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            codes_.push_back(code);
        }
        machine_.Event("error code \"" + plat::ToUtf8(code) + "\"");
    }
    std::vector<std::u16string> codes() {
        std::lock_guard<std::mutex> lock(mutex_);
        return codes_;
    }

private:
    sim::Machine& machine_;
    std::mutex mutex_;
    std::vector<std::u16string> codes_;
};

struct SimEnv {
    sim::TempDir dir;
    sim::Machine machine{dir.path()};
    RecordingErrors errors{machine};
    engine::InstallLog log{machine.platform()};
    engine::Env env{machine.platform(), errors, log};

    // The log file's bytes, as written (empty when missing).
    std::string LogBytes(int index = 1) {
        auto bytes = machine.FileBytes(machine.system.documentsFolder + u"\\墨川科技有限公司\\Log(" +
                                       plat::ToDecimal(index) + u").txt");
        return bytes ? *bytes : std::string();
    }
};

}  // namespace engine_testing
