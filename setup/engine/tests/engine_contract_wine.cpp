// The contract tests' machine under Wine: the Win32 adapter, and winspool itself for what the
// engine never asks (the default printer's name, driver records, clean-up).
#include "engine_contract.h"
#include "win32/win32_platform.h"
// After the boundary's headers: from here on the Windows names are the ones in use.
#include <windows.h>
#include <winspool.h>

namespace engine_contract {
namespace {

struct WineBackend final : Backend {
    plat::Platform platform() override { return win32::RealPlatform(); }
    bool wine() override { return win32::RunningOnWine(); }
    std::u16string DefaultPrinter() override {
        wchar_t name[512] = {};
        DWORD size = 512;
        if (!::GetDefaultPrinterW(name, &size)) return {};
        return plat::FromBuffer(reinterpret_cast<const char16_t*>(name), 512);
    }
    std::vector<std::u16string> DriverFacts(const std::u16string& name) override {
        HANDLE printer = nullptr;
        if (!::OpenPrinterW(const_cast<LPWSTR>(reinterpret_cast<LPCWSTR>(name.c_str())), &printer, nullptr)) return {};
        DWORD needed = 0;
        ::GetPrinterDriverW(printer, nullptr, 6, nullptr, 0, &needed);
        std::vector<uint64_t> buffer(needed / 8 + 1);
        std::vector<std::u16string> facts;
        if (::GetPrinterDriverW(printer, nullptr, 6, reinterpret_cast<BYTE*>(buffer.data()), needed, &needed)) {
            auto* d = reinterpret_cast<::DRIVER_INFO_6W*>(buffer.data());
            auto text = [](LPWSTR s) { return s ? std::u16string(reinterpret_cast<const char16_t*>(s)) : u"null"; };
            auto base = [&](LPWSTR s) {
                std::u16string t = text(s);
                return t.substr(t.rfind(u'\\') + 1);
            };
            facts = {text(d->pName), base(d->pDriverPath), base(d->pDataFile), base(d->pConfigFile),
                     base(d->pHelpFile), text(d->pDefaultDataType), text(d->pszMfgName)};
            for (LPWSTR f = d->pDependentFiles; f && *f; f += wcslen(f) + 1) facts.push_back(base(f));
        }
        ::ClosePrinter(printer);
        return facts;
    }
    void RemovePrinterAndDriver(const std::u16string& name) override {
        HANDLE printer = nullptr;
        auto* w = const_cast<LPWSTR>(reinterpret_cast<LPCWSTR>(name.c_str()));
        if (::OpenPrinterW(w, &printer, nullptr)) {
            ::DeletePrinter(printer);
            ::ClosePrinter(printer);
        }
        ::DeletePrinterDriverW(nullptr, nullptr, w);
    }
    void RemoveFile(const std::u16string& path) override {
        ::SetFileAttributesW(reinterpret_cast<LPCWSTR>(path.c_str()), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(reinterpret_cast<LPCWSTR>(path.c_str()));
    }
};


}  // namespace

std::unique_ptr<Backend> MakeWineBackend() { return std::make_unique<WineBackend>(); }

}  // namespace engine_contract
