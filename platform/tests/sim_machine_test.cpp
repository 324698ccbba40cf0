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

}  // namespace
