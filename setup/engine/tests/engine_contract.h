// The machine behind the engine's contract tests: the simulated one or Wine's real one.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/package.h"
#include "platform/text.h"
#include "setupsim/scenario.h"

namespace engine_contract {

// What a test needs of a machine beyond the boundary: fixtures, a look at the spooler, clean-up.
struct Backend {
    virtual ~Backend() = default;
    virtual plat::Platform platform() = 0;
    virtual bool wine() { return false; }
    virtual std::u16string DefaultPrinter() = 0;
    // The driver's main and dependent files (base names), its data type and maker.
    virtual std::vector<std::u16string> DriverFacts(const std::u16string& name) = 0;
    virtual void RemovePrinterAndDriver(const std::u16string& name) = 0;
    virtual void RemoveFile(const std::u16string& path) = 0;

    std::u16string Folder() {
        std::u16string program = engine::ProgramFolder(platform());
        return program;
    }
    void WriteFile(const std::u16string& path, const std::string& bytes) {
        plat::Platform p = platform();
        plat::HANDLE h = p.files.CreateFileW(path.c_str(), plat::GENERIC_WRITE, 0, plat::CREATE_ALWAYS, plat::FILE_ATTRIBUTE_NORMAL);
        ASSERT_NE(h, plat::INVALID_HANDLE_VALUE) << plat::ToUtf8(path);
        plat::DWORD n = 0;
        p.files.WriteFile(h, bytes.data(), static_cast<plat::DWORD>(bytes.size()), &n);
        p.files.CloseHandle(h);
    }
    std::string ReadFile(const std::u16string& path) {
        plat::Platform p = platform();
        plat::HANDLE h = p.files.CreateFileW(path.c_str(), plat::GENERIC_READ, plat::FILE_SHARE_READ | plat::FILE_SHARE_WRITE, plat::OPEN_EXISTING, 0);
        if (h == plat::INVALID_HANDLE_VALUE) return "<missing>";
        std::string out;
        char buf[4096];
        plat::DWORD n = 0;
        while (p.files.ReadFile(h, buf, sizeof buf, &n) && n) out.append(buf, n);
        p.files.CloseHandle(h);
        return out;
    }
    // The VT39 package for 64-bit Windows beside Setup, as the delivery folder holds it.
    void StagePackage() {
        plat::Platform p = platform();
        std::u16string dir = Folder() + u"VT39";
        p.files.CreateDirectoryW(dir.c_str());
        dir += u"\\X64";
        p.files.CreateDirectoryW(dir.c_str());
        std::u16string required = engine::GetCopyLists(0, u"P-80.GPD").required;
        for (size_t start = 0, semi; (semi = required.find(u';', start)) != std::u16string::npos; start = semi + 1) {
            std::u16string name = required.substr(start, semi - start);
            WriteFile(dir + u"\\" + name, setupsim::PackageFileContent(plat::ToUtf8(name), "1.0"));
        }
        WriteFile(dir + u"\\VT39.inf", setupsim::StandardVt39Inf());
    }
    // A folder beside Setup for files a test removes again.
    std::u16string Scratch() {
        std::u16string dir = Folder() + u"replace-scratch";
        platform().files.CreateDirectoryW(dir.c_str());
        return dir + u"\\";
    }
};

#ifdef _WIN32
std::unique_ptr<Backend> MakeWineBackend();
#endif

}  // namespace engine_contract
