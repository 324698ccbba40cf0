#include <gtest/gtest.h>

#include "detect/sysinfo.h"
#include "engine/package.h"
#include "engine_testing/sim_env.h"

namespace {
using namespace plat;
using namespace engine;
using engine_testing::SimEnv;

TEST(SystemQuestions, NativeArchitectureAndPlatformFamily) {
    struct Case {
        bool hasNative;
        WORD native, process;
        bool is64;
    } cases[] = {
        {true, PROCESSOR_ARCHITECTURE_AMD64, PROCESSOR_ARCHITECTURE_INTEL, true},   // 32-bit Setup on x64
        {true, PROCESSOR_ARCHITECTURE_IA64, PROCESSOR_ARCHITECTURE_INTEL, true},
        {true, PROCESSOR_ARCHITECTURE_INTEL, PROCESSOR_ARCHITECTURE_INTEL, false},  // 32-bit Windows on x64 hardware
        {true, PROCESSOR_ARCHITECTURE_ARM64, PROCESSOR_ARCHITECTURE_INTEL, false},
        {false, PROCESSOR_ARCHITECTURE_AMD64, PROCESSOR_ARCHITECTURE_INTEL, false},  // no native call: plain answer
        {false, PROCESSOR_ARCHITECTURE_AMD64, PROCESSOR_ARCHITECTURE_AMD64, true},
    };
    for (const auto& c : cases) {
        SimEnv s;
        s.machine.system.hasGetNativeSystemInfo = c.hasNative;
        s.machine.system.nativeArchitecture = c.native;
        s.machine.system.processArchitecture = c.process;
        EXPECT_EQ(detect::IsNative64Bit(s.env.p), c.is64) << c.native << " " << c.hasNative;
    }
    for (auto [id, is9x] : {std::pair{VER_PLATFORM_WIN32_WINDOWS, true}, {VER_PLATFORM_WIN32_NT, false},
                            {VER_PLATFORM_WIN32s, false}, {DWORD{3}, false}}) {
        SimEnv s;
        s.machine.system.platformId = id;
        EXPECT_EQ(detect::IsWin9xPlatform(s.env.p), is9x) << id;
    }
}

TEST(PackagePlan, FolderAndInfByFamilyAndArchitecture) {
    struct Case {
        int family;
        bool is64;
        std::u16string folder, inf;
    } cases[] = {
        {0, true, u"C:\\Delivery\\VT39\\X64\\", u"C:\\Delivery\\VT39\\X64\\VT39.inf"},
        {0, false, u"C:\\Delivery\\VT39\\i386\\", u"C:\\Delivery\\VT39\\i386\\VT39.inf"},
        {1, false, u"C:\\Delivery\\9Pin\\i386\\", u"C:\\Delivery\\9Pin\\i386\\9Pin.inf"},
        {2, false, u"C:\\Delivery\\9Pin\\i386\\", u"C:\\Delivery\\9Pin\\i386\\9Pin.inf"},
        {7, true, u"C:\\Delivery\\9Pin\\X64\\", u"C:\\Delivery\\9Pin\\X64\\9Pin.inf"},
        {-1, true, u"C:\\Delivery\\9Pin\\X64\\", u"C:\\Delivery\\9Pin\\X64\\9Pin.inf"},
    };
    for (const auto& c : cases) {
        SimEnv s;
        s.machine.system.nativeArchitecture = c.is64 ? PROCESSOR_ARCHITECTURE_AMD64 : PROCESSOR_ARCHITECTURE_INTEL;
        EXPECT_EQ(GetDriverSourceDir(s.env.p, c.family), c.folder) << c.family;
        auto inf = GetInfPath(s.env.p, c.family);
        ASSERT_TRUE(inf);
        EXPECT_EQ(inf->folder, c.folder);
        EXPECT_EQ(inf->path, c.inf);
    }
}

TEST(PackagePlan, PathsThatDoNotFitAreRejectedNotCut) {
    SimEnv s;
    // A module path of 510 units fits the 512-unit buffer, and so does its package folder; the
    // INF path would not.
    s.machine.system.modulePath = u"C:\\" + std::u16string(497, u'd') + u"\\Setup.exe";
    EXPECT_EQ(ProgramFolder(s.env.p).size(), 501u);
    EXPECT_EQ(GetDriverSourceDir(s.env.p, 0)->size(), 510u);
    EXPECT_FALSE(GetInfPath(s.env.p, 0));
    s.machine.system.modulePath = u"C:\\" + std::u16string(499, u'd') + u"\\Setup.exe";
    EXPECT_FALSE(GetDriverSourceDir(s.env.p, 0));
    s.machine.system.modulePath = u"C:\\" + std::u16string(600, u'd') + u"\\Setup.exe";
    EXPECT_EQ(ProgramFolder(s.env.p), u"");   // the system cut it: not a path to use
    EXPECT_FALSE(GetDriverSourceDir(s.env.p, 0));
}

TEST(PackagePlan, ListsAndMembership) {
    CopyLists l0 = GetCopyLists(0, u"P-80.GPD");
    EXPECT_EQ(l0.replace, u"VT39Res.DLL;VT39Set.ini;VT39.dll;P-80.GPD;");
    EXPECT_TRUE(l0.required.size() > l0.replace.size());
    CopyLists l7 = GetCopyLists(7, u"X.GPD");
    EXPECT_EQ(l7.required, u"X.GPD;");
    EXPECT_EQ(l7.replace, u"X.GPD;");

    struct Case {
        int family;
        std::u16string file;
        bool required, replaced;
    } cases[] = {
        {0, u"Vt39res.DLL", true, true},   // case does not matter
        {0, u"RES.DLL", true, true},       // the tail of a listed name counts as listed
        {0, u"unidrv.dll", true, false},
        {0, u"P-80.gpd", true, true},      // the model's data file is always replaced
        {0, u"readme.txt", false, false},
        {1, u"HVPrnUni.dll", false, true}, // replaced but never required: never copied
        {1, u"hvmpuni.DLL", true, true},
    };
    for (const auto& c : cases) {
        CopyLists l = GetCopyLists(c.family, u"P-80.GPD");
        EXPECT_EQ(IsInList(l.required, c.file), c.required) << ToUtf8(c.file);
        EXPECT_EQ(IsInList(l.replace, c.file), c.replaced) << ToUtf8(c.file);
    }
}

TEST(PackagePlan, DependentFilesAsMultiString) {
    using namespace std::string_literals;
    EXPECT_EQ(GetDependentFiles(0), u"VT39Res.dll\0STDNAMES.GPD\0unires.dll\0VT39Set.ini\0VT39.dll\0\0"s);
    EXPECT_EQ(GetDependentFiles(2), u"stdnames.gpd\0unires.dll\0STDDTYPE.GDL\0STDSCHEM.GDL\0STDSCHMX.GDL\0Hv9res.dll\0\0"s);
    auto f1 = GetDependentFiles(1);
    ASSERT_TRUE(f1);
    EXPECT_LE(f1->size(), kNameUnits);
    EXPECT_EQ(GetDependentFiles(7), std::u16string(1, u'\0'));
}

}  // namespace
