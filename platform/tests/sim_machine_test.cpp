// What only the simulation has: scripted faults, the virtual clock, the device tree.
#include <gtest/gtest.h>

#include <thread>

#include "platform/text.h"
#include "sim/machine.h"
#include "sim/temp_dir.h"

namespace {
using namespace plat;

struct SimTest : testing::Test {
    sim::TempDir dir;
    sim::Machine m{dir.path()};
};

TEST_F(SimTest, FaultsHitTheChosenOccurrences) {
    m.AddFile(u"C:\\a.txt", "a");
    m.FailCall("GetFileAttributesW", ERROR_ACCESS_DENIED, /*occurrence*/ 2, /*times*/ 2);
    std::vector<DWORD> errors;
    for (int i = 0; i < 4; ++i) {
        m.SetLastError(0);
        errors.push_back(m.GetFileAttributesW(u"C:\\a.txt") == INVALID_FILE_ATTRIBUTES ? m.GetLastError() : 0);
    }
    EXPECT_EQ(errors, (std::vector<DWORD>{0, 5, 5, 0}));
    EXPECT_EQ(m.CallCount("GetFileAttributesW"), 4);
}

TEST_F(SimTest, SleepCostsNoRealTimeAndMovesTheLocalTime) {
    SYSTEMTIME before{}, after{};
    m.GetLocalTime(&before);
    m.Sleep(86400000u + 1500u);   // a day and a half second
    m.GetLocalTime(&after);
    EXPECT_EQ(after.wDay, before.wDay + 1);
    EXPECT_EQ(after.wMilliseconds, (before.wMilliseconds + 500) % 1000);
    EXPECT_EQ(m.NowMs(), 86401500u);
}

TEST_F(SimTest, PathsOutsideADriveOrTooLongAreRejected) {
    EXPECT_EQ(m.CreateFileW(u"relative.txt", GENERIC_WRITE, 0, CREATE_ALWAYS, 0), INVALID_HANDLE_VALUE);
    std::u16string longName = u"C:\\" + std::u16string(300, u'a');
    EXPECT_EQ(m.CreateFileW(longName.c_str(), GENERIC_WRITE, 0, CREATE_ALWAYS, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(m.CreateFileW(u"C:\\a|b.txt", GENERIC_WRITE, 0, CREATE_ALWAYS, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(m.GetLastError(), ERROR_INVALID_NAME);
}

TEST_F(SimTest, DeviceTreeWalksAndRescans) {
    sim::SimDevice port;
    port.instanceId = u"ACPI\\PNP0401\\1";
    int p = m.devices.AddDevice(port);
    sim::SimDevice printer;
    printer.instanceId = u"LPTENUM\\HALVORINP-80\\1&0&LPT1";
    printer.parent = p;
    printer.present = false;
    printer.appearsOnRescan = true;
    m.devices.AddDevice(printer);

    DEVINST node = 0, child = 0;
    ASSERT_EQ(m.CM_Locate_DevNodeW(&node, u"acpi\\pnp0401\\1", 0), CR_SUCCESS);
    EXPECT_EQ(m.CM_Get_Child(&child, node, 0), CR_NO_SUCH_DEVNODE);
    ASSERT_EQ(m.CM_Reenumerate_DevNode(node, 0), CR_SUCCESS);
    ASSERT_EQ(m.CM_Get_Child(&child, node, 0), CR_SUCCESS);
    DWORD len = 0;
    ASSERT_EQ(m.CM_Get_Device_ID_Size(&len, child, 0), CR_SUCCESS);
    std::u16string id(len + 1, u'\0');
    ASSERT_EQ(m.CM_Get_Device_IDW(child, id.data(), len + 1, 0), CR_SUCCESS);
    EXPECT_EQ(FromBuffer(id.data(), id.size()), u"LPTENUM\\HALVORINP-80\\1&0&LPT1");
    DEVINST sibling = 0;
    EXPECT_EQ(m.CM_Get_Sibling(&sibling, child, 0), CR_NO_SUCH_DEVNODE);
}

TEST_F(SimTest, ConcurrentCallsAreSerialised) {
    m.AddDirectory(u"C:\\t");
    auto work = [&](int t) {
        for (int i = 0; i < 50; ++i) {
            std::u16string f = u"C:\\t\\" + ToDecimal(t) + u"-" + ToDecimal(i);
            HANDLE h = m.CreateFileW(f.c_str(), GENERIC_WRITE, 0, CREATE_ALWAYS, 0);
            ASSERT_NE(h, INVALID_HANDLE_VALUE);
            DWORD n;
            m.WriteFile(h, "x", 1, &n);
            m.CloseHandle(h);
        }
    };
    std::thread a(work, 1), b(work, 2), c(work, 3);
    a.join(), b.join(), c.join();
    WIN32_FIND_DATAW d{};
    HANDLE f = m.FindFirstFileW(u"C:\\t\\*", &d);
    int count = 0;
    do ++count;
    while (m.FindNextFileW(f, &d));
    m.FindClose(f);
    EXPECT_EQ(count, 2 + 150);
}

// What a 32-bit Setup on 64-bit Windows would get with the caller's environment: a 32-bit
// driver, which no queue of the 64-bit spooler can use.
TEST_F(SimTest, Wow64NullEnvironmentRegistersA32BitDriver) {
    ASSERT_TRUE(m.Wow64());
    m.spooler.driverFilesMustExist = false;
    std::u16string name = u"P", path = u"C:\\x.dll";
    DRIVER_INFO_6W d{};
    d.cVersion = 3;
    d.pName = name.data();
    d.pDriverPath = d.pDataFile = d.pConfigFile = path.data();
    ASSERT_TRUE(m.AddPrinterDriverW(nullptr, 6, reinterpret_cast<BYTE*>(&d)));
    ASSERT_NE(m.spooler.FindDriver(u"P", sim::kEnvX86), nullptr);
    EXPECT_EQ(m.spooler.FindDriver(u"P"), nullptr);

    std::u16string port = u"LPT1:", processor = u"winprint";
    PRINTER_INFO_2W q{};
    q.pPrinterName = q.pDriverName = name.data();
    q.pPortName = port.data();
    q.pPrintProcessor = processor.data();
    EXPECT_EQ(m.AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&q)), nullptr);
    EXPECT_EQ(m.GetLastError(), ERROR_UNKNOWN_PRINTER_DRIVER);

    std::u16string x64 = sim::kEnvX64;
    d.pEnvironment = x64.data();
    ASSERT_TRUE(m.AddPrinterDriverW(nullptr, 6, reinterpret_cast<BYTE*>(&d)));
    EXPECT_NE(m.AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&q)), nullptr);
}

TEST_F(SimTest, MachinesAndTheirEnvironments) {
    struct Case {
        WORD native, process;
        bool wow64;
        const char16_t* own;   // the process's environment
        const char16_t* machineDirectory;
    } cases[] = {
        {PROCESSOR_ARCHITECTURE_AMD64, PROCESSOR_ARCHITECTURE_INTEL, true, sim::kEnvX86, u"x64"},
        {PROCESSOR_ARCHITECTURE_AMD64, PROCESSOR_ARCHITECTURE_AMD64, false, sim::kEnvX64, u"x64"},
        {PROCESSOR_ARCHITECTURE_INTEL, PROCESSOR_ARCHITECTURE_INTEL, false, sim::kEnvX86, u"W32X86"},
        {PROCESSOR_ARCHITECTURE_IA64, PROCESSOR_ARCHITECTURE_INTEL, true, sim::kEnvX86, u"IA64"},
    };
    for (const auto& c : cases) {
        sim::TempDir d;
        sim::Machine machine(d.path());
        machine.SetArchitecture(c.native, c.process);
        EXPECT_EQ(machine.Wow64(), c.wow64) << c.native;
        EXPECT_EQ(machine.ProcessEnvironment(), c.own) << c.native;
        EXPECT_EQ(machine.spooler.driverDirectory, std::u16string(u"C:\\Windows\\System32\\spool\\drivers\\") + c.machineDirectory);
        EXPECT_EQ(machine.spooler.DriverDirectoryOf(sim::kEnvX86).empty(), false) << c.native;
    }
}

TEST_F(SimTest, Wow64RegistryViewOfSoftware) {
    m.registry.SetDword(u"SOFTWARE\\WOW6432NODE\\LP", u"V", 32);
    m.registry.SetDword(u"SOFTWARE\\LP", u"V", 64);
    auto read = [&](sim::Machine& machine, DWORD access) {
        HKEY key = nullptr;
        if (machine.RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\LP", 0, 0x20019 | access, &key) != ERROR_SUCCESS) return 0u;
        DWORD value = 0, size = sizeof value;
        machine.RegQueryValueExW(key, u"V", nullptr, reinterpret_cast<BYTE*>(&value), &size);
        machine.RegCloseKey(key);
        return static_cast<unsigned>(value);
    };
    EXPECT_EQ(read(m, 0), 32u);
    EXPECT_EQ(read(m, 0x100 /*KEY_WOW64_64KEY*/), 64u);
    m.SetArchitecture(PROCESSOR_ARCHITECTURE_AMD64, PROCESSOR_ARCHITECTURE_AMD64);
    EXPECT_EQ(read(m, 0), 64u);
    EXPECT_EQ(read(m, 0x200 /*KEY_WOW64_32KEY*/), 32u);
}

TEST_F(SimTest, ProcessesStartFromProgramFilesOnly) {
    m.AddFile(u"C:\\D\\Setup64.exe", "MZ...");
    m.AddFile(u"C:\\D\\notes.txt", "text");
    m.system.exitCodes[u"C:\\D\\SETUP64.EXE"] = 3;
    std::u16string cmd = u"\"C:\\D\\Setup64.exe\"";
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(m.CreateProcessW(u"C:\\D\\Setup64.exe", cmd.data(), &pi));
    EXPECT_EQ(m.WaitForSingleObject(pi.hProcess, INFINITE), WAIT_OBJECT_0);
    DWORD code = 0;
    ASSERT_TRUE(m.GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_EQ(code, 3u);
    EXPECT_TRUE(m.CloseHandle(pi.hProcess) && m.CloseHandle(pi.hThread));
    EXPECT_FALSE(m.CreateProcessW(u"C:\\D\\notes.txt", cmd.data(), &pi));
    EXPECT_EQ(m.GetLastError(), ERROR_BAD_EXE_FORMAT);
    EXPECT_FALSE(m.CreateProcessW(u"C:\\D\\gone.exe", cmd.data(), &pi));
    EXPECT_EQ(m.GetLastError(), ERROR_FILE_NOT_FOUND);
}

}  // namespace
