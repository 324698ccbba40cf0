// Windows: a real printer handle. The capture printer sits on the FILE: port; each session's
// document goes to a file of its own (StartDocPrinter's output file, data type RAW), which holds
// exactly the bytes given to WritePrinter once the document has ended.
#include "unisim/unisim.h"

#include <winspool.h>

#include <cstdio>

namespace unisim {
namespace {

constexpr wchar_t kPrinterName[] = L"Label Capture";
constexpr wchar_t kDriverName[] = L"Label Capture Driver";

std::string Failed(const char* what) { return std::string(what) + " failed with error " + std::to_string(::GetLastError()); }

// The spooler wants driver files that exist; their content does not matter for a raw document.
bool Install(std::string* error) {
    wchar_t dir[MAX_PATH];
    DWORD got = 0;
    if (!::GetPrinterDriverDirectoryW(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(dir), sizeof dir, &got)) {
        *error = Failed("GetPrinterDriverDirectoryW");
        return false;
    }
    std::wstring file = std::wstring(dir) + L"\\labelcapture.drv";
    HANDLE h = ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
    DRIVER_INFO_3W driver = {};
    driver.cVersion = 3;
    driver.pName = const_cast<LPWSTR>(kDriverName);
    driver.pDriverPath = driver.pDataFile = driver.pConfigFile = file.data();
    if (!::AddPrinterDriverW(nullptr, 3, reinterpret_cast<BYTE*>(&driver)) &&
        ::GetLastError() != ERROR_PRINTER_DRIVER_ALREADY_INSTALLED) {
        *error = Failed("AddPrinterDriverW");
        return false;
    }
    PRINTER_INFO_2W info = {};
    info.pPrinterName = const_cast<LPWSTR>(kPrinterName);
    info.pPortName = const_cast<LPWSTR>(L"FILE:");
    info.pDriverName = const_cast<LPWSTR>(kDriverName);
    info.pPrintProcessor = const_cast<LPWSTR>(L"winprint");
    info.pDatatype = const_cast<LPWSTR>(L"RAW");
    HANDLE printer = ::AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&info));
    if (printer == nullptr && ::GetLastError() != ERROR_PRINTER_ALREADY_EXISTS) {
        *error = Failed("AddPrinterW");
        return false;
    }
    if (printer != nullptr) ::ClosePrinter(printer);
    return true;
}

class SpoolerPrinter final : public CapturePrinter {
public:
    ~SpoolerPrinter() override {
        if (printer_ != nullptr) {
            if (inDocument_) ::EndDocPrinter(printer_);
            ::ClosePrinter(printer_);
        }
        if (!file_.empty()) ::DeleteFileW(file_.c_str());
    }

    bool Start(std::string* error) {
        if (!::OpenPrinterW(const_cast<LPWSTR>(kPrinterName), &printer_, nullptr)) {
            printer_ = nullptr;
            if (!Install(error)) return false;
            if (!::OpenPrinterW(const_cast<LPWSTR>(kPrinterName), &printer_, nullptr)) {
                printer_ = nullptr;
                *error = Failed("OpenPrinterW");
                return false;
            }
        }
        wchar_t dir[MAX_PATH], name[MAX_PATH];
        if (!::GetTempPathW(MAX_PATH, dir) || !::GetTempFileNameW(dir, L"lbl", 0, name)) {
            *error = Failed("GetTempFileNameW");
            return false;
        }
        file_ = name;
        DOC_INFO_1W doc = {};
        doc.pDocName = const_cast<LPWSTR>(L"label session");
        doc.pOutputFile = file_.data();
        doc.pDatatype = const_cast<LPWSTR>(L"RAW");
        if (::StartDocPrinterW(printer_, 1, reinterpret_cast<BYTE*>(&doc)) == 0) {
            *error = Failed("StartDocPrinterW");
            return false;
        }
        inDocument_ = true;
        return true;
    }

    HANDLE handle() override { return printer_; }

    bool Finish(std::vector<uint8_t>* bytes, std::string* error) override {
        if (inDocument_) ::EndDocPrinter(printer_);
        inDocument_ = false;
        bytes->clear();
        FILE* f = _wfopen(file_.c_str(), L"rb");
        if (f == nullptr) {
            *error = "the capture file cannot be read";
            return false;
        }
        uint8_t buffer[65536];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes->insert(bytes->end(), buffer, buffer + n);
        std::fclose(f);
        return true;
    }

private:
    HANDLE printer_ = nullptr;
    std::wstring file_;
    bool inDocument_ = false;
};

}  // namespace

std::unique_ptr<CapturePrinter> CapturePrinter::Open(std::string* error) {
    auto printer = std::make_unique<SpoolerPrinter>();
    std::string why;
    if (!printer->Start(&why)) {
        if (error) *error = "capture printer: " + why;
        return nullptr;
    }
    return printer;
}

}  // namespace unisim
