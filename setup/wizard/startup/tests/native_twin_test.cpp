#include <gtest/gtest.h>

#include "engine_testing/sim_env.h"
#include "startup/native_twin.h"

namespace {
using namespace plat;

constexpr char16_t kTwin[] = u"C:\\Delivery\\Setup64.exe";

struct Twin : testing::Test {
    engine_testing::SimEnv s;
    sim::Machine& m = s.machine;
    std::vector<std::string> Started() {
        std::vector<std::string> out;
        for (const auto& e : m.Events())
            if (e.rfind("process", 0) == 0) out.push_back(e);
        return out;
    }
};

TEST_F(Twin, The32BitProgramOn64BitWindowsRunsItsTwinAndEndsWithItsCode) {
    m.AddFile(kTwin, "MZ");
    m.system.exitCodes[u"C:\\DELIVERY\\SETUP64.EXE"] = 7;
    EXPECT_EQ(startup::RunNativeTwin(s.env, u"/S /model=P-80"), std::optional<DWORD>(7));
    EXPECT_EQ(Started(), std::vector<std::string>{"process started C:\\Delivery\\Setup64.exe command line "
                                                  "\"C:\\Delivery\\Setup64.exe\" /S /model=P-80, exits with 7"});
    EXPECT_EQ(s.LogBytes(), "");
}

TEST_F(Twin, WhereItHasNoPlaceTheProgramCarriesOnItself) {
    struct Case {
        const char* name;
        WORD native, process;
        const char* twin;   // bytes of Setup64.exe, nullptr: none
        std::string log;    // a failure worth logging
    } cases[] = {
        {"32-bit Windows", PROCESSOR_ARCHITECTURE_INTEL, PROCESSOR_ARCHITECTURE_INTEL, "MZ", ""},
        {"the twin itself", PROCESSOR_ARCHITECTURE_AMD64, PROCESSOR_ARCHITECTURE_AMD64, "MZ", ""},
        {"ARM64 Windows", PROCESSOR_ARCHITECTURE_ARM64, PROCESSOR_ARCHITECTURE_INTEL, "MZ", ""},
        {"no twin delivered", PROCESSOR_ARCHITECTURE_AMD64, PROCESSOR_ARCHITECTURE_INTEL, nullptr, ""},
        {"a twin that is no program", PROCESSOR_ARCHITECTURE_AMD64, PROCESSOR_ARCHITECTURE_INTEL, "text",
         "CreateProcess C:\\Delivery\\Setup64.exe failed with error 193"},
    };
    for (const auto& c : cases) {
        engine_testing::SimEnv fresh;
        fresh.machine.SetArchitecture(c.native, c.process);
        if (c.twin) fresh.machine.AddFile(kTwin, c.twin);
        EXPECT_EQ(startup::RunNativeTwin(fresh.env, u""), std::nullopt) << c.name;
        std::string log = fresh.LogBytes();
        if (c.log.empty()) EXPECT_EQ(log, "") << c.name;
        else EXPECT_NE(log.find(c.log), std::string::npos) << c.name << ": " << log;
    }
}

TEST_F(Twin, AFailedWaitStillStartsNoSecondWizard) {
    m.AddFile(kTwin, "MZ");
    m.FailCall("WaitForSingleObject", ERROR_INVALID_HANDLE);
    EXPECT_EQ(startup::RunNativeTwin(s.env, u""), std::optional<DWORD>(ERROR_INVALID_HANDLE));
}

}  // namespace
