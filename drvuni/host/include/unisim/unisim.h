// A Unidrv host of our own, for tests and tools (never shipped). It reaches the plug-in only
// through its entry points and interfaces, as the real host does, and captures every byte the
// plug-in gives the spooler's WritePrinter.
//
// On the host build the plug-in's code is linked in and DEVOBJ.hPrinter is a capture object. On
// Windows the DLL is loaded with LoadLibrary and hPrinter is a real printer handle: the capture
// printer on the FILE: port, whose document goes to a file through StartDocPrinter's output file.
//
// Holds: Module, HostInterface, BandInput, TextInput, PageItem, Session, SessionResult,
// RunSession, CapturePrinter.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "drvuni/unidrv.h"

namespace unisim {

// The plug-in module's two exports and the thread's last error as the plug-in sets it.
class Module {
public:
    Module() = default;
    ~Module();
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    // Windows: the DLL named by LP_PLUGIN_DLL, else UniRenderPlugin.dll beside the program.
    bool Load(std::string* error);
    void Unload();

    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** ppv) const { return getClassObject_(clsid, iid, ppv); }
    HRESULT CanUnloadNow() const { return canUnloadNow_(); }
    DWORD LastError() const;
    void SetLastError(DWORD error) const;

    // A new plug-in object through the class factory, or null.
    uni::IPrintOemUni2* CreateRenderer(std::string* error) const;

private:
    PFN_DllGetClassObject getClassObject_ = nullptr;
    PFN_DllCanUnloadNow canUnloadNow_ = nullptr;
    void* library_ = nullptr;
};

using Features = std::map<std::string, std::string>;

// The host object handed to PublishDriverInterface: it answers IPrintOemDriverUni with a feature
// table and keeps what it was asked and given.
class HostInterface final : public uni::IPrintOemDriverUni {
public:
    explicit HostInterface(Features features = {}) : features_(std::move(features)) {}

    Features& features() { return features_; }
    LONG refs() const { return refs_; }
    const std::vector<std::string>& queries() const { return queries_; }   // feature keywords, in order
    const std::vector<uint8_t>& spooled() const { return spooled_; }       // DrvWriteSpoolBuf bytes
    void set_spool_limit(DWORD limit) { spoolLimit_ = limit; }            // a short spool write
    void set_answer_interface(bool answer) { answerInterface_ = answer; }

    HRESULT UNI_STDCALL QueryInterface(REFIID riid, void** ppv) override;
    ULONG UNI_STDCALL AddRef() override;
    ULONG UNI_STDCALL Release() override;
    HRESULT UNI_STDCALL DrvGetDriverSetting(PVOID pdriverobj, PCSTR feature, PVOID output, DWORD cbSize,
                                            PDWORD pcbNeeded, PDWORD pdwOptionsReturned) override;
    HRESULT UNI_STDCALL DrvWriteSpoolBuf(uni::PDEVOBJ pdevobj, PVOID buffer, DWORD cbSize,
                                         PDWORD pdwResult) override;

private:
    Features features_;
    LONG refs_ = 1;
    std::vector<std::string> queries_;
    std::vector<uint8_t> spooled_;
    DWORD spoolLimit_ = 0xFFFFFFFF;
    bool answerInterface_ = true;
};

// A band as the host renders it. sizeImage and the header are sent as given, so a test can hand
// the plug-in a header that does not fit its bits.
struct BandInput {
    std::vector<uint8_t> bits;
    int32_t width = 0;
    int32_t height = 0;
    uint32_t sizeImage = 0;
    bool blank = false;
};

struct TextInput {
    int32_t top = 0;
    int32_t bottom = 0;
    std::u16string text;
};

struct PageItem {
    enum class Kind { Band, Text } kind;
    BandInput band;
    TextInput text;

    static PageItem Of(BandInput b) { return PageItem{Kind::Band, std::move(b), {}}; }
    static PageItem Of(TextInput t) { return PageItem{Kind::Text, {}, std::move(t)}; }
};

struct Session {
    Features features;
    std::vector<std::vector<PageItem>> pages;
    // DDI indices of the host's own handlers offered at EnablePDEV, in order (other entries too).
    std::vector<ULONG> hostHandlers{1, uni::INDEX_DrvTextOut, uni::INDEX_DrvStartDoc, uni::INDEX_DrvEndDoc,
                                    uni::INDEX_DrvStartPage, uni::INDEX_DrvSendPage, 3};
};

struct SessionResult {
    bool ok = false;
    std::string error;                    // the first step that did not go as the host expects
    std::vector<uint8_t> printed;         // every WritePrinter byte, in order
    std::vector<std::string> events;      // host handler calls, in order
    std::vector<bool> bandsConsumed;      // per band: the result pointer was set
    std::vector<BOOL> textResults;        // per text run: the hook's result
    std::vector<std::string> queries;     // feature keywords the plug-in asked for, in order
    std::vector<uint8_t> settings;        // the device's LabelSettings at DisablePDEV
    HRESULT canUnloadNow = S_FALSE;       // after everything was released
};

// One print session: class factory, object, device mode, PublishDriverInterface, EnableDriver,
// EnablePDEV, the pages (bands through ImageProcessing, text runs through the DrvTextOut hook),
// DisablePDEV, DisableDriver, release.
SessionResult RunSession(Module& module, const Session& session);

// Where WritePrinter's bytes land.
class CapturePrinter {
public:
    virtual ~CapturePrinter() = default;
    virtual HANDLE handle() = 0;
    // Ends the document and hands back everything written to the handle.
    virtual bool Finish(std::vector<uint8_t>* bytes, std::string* error) = 0;

    static std::unique_ptr<CapturePrinter> Open(std::string* error);
};

}  // namespace unisim
