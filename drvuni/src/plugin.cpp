#include "drvuni/plugin.h"

#include <cstring>
#include <initializer_list>
#include <new>

#include "drvuni/band.h"
#include "drvuni/labeljob.h"
#include "drvuni/os.h"
#include "drvuni/settings.h"

using namespace uni;

namespace drvuni {
namespace {

volatile LONG liveObjectCount = 0;
volatile LONG serverLockCount = 0;

class SpoolerSink final : public ByteSink {
public:
    explicit SpoolerSink(HANDLE printer) : printer_(printer) {}
    void Write(const uint8_t* data, uint32_t size) override { os::WritePrinter(printer_, data, size); }

private:
    HANDLE printer_;
};

class LocalMemory final : public WorkAllocator, public AnsiConverter {
public:
    void* Allocate(size_t size) override { return os::Alloc(size); }
    void Release(void* block) override { os::Free(block); }
    uint32_t Convert(const char16_t* text, uint32_t units, char* out, uint32_t capacity) override {
        return os::ToAnsi(text, units, out, capacity);
    }
};

// A feature is present when the host answers S_OK; without a host every feature is absent.
class HostFeatures final : public FeatureSource {
public:
    HostFeatures(IPrintOemDriverUni* host, PDEVOBJ device) : host_(host), device_(device) {}
    bool Get(const char* feature, char* buffer, uint32_t size) override {
        if (host_ == nullptr) return false;
        DWORD needed = 0, options = 0;
        return host_->DrvGetDriverSetting(device_, feature, buffer, size, &needed, &options) == S_OK;
    }

private:
    IPrintOemDriverUni* host_;
    PDEVOBJ device_;
};

PDEVOBJ DeviceOf(SURFOBJ* pso) { return pso != nullptr ? static_cast<PDEVOBJ>(pso->dhpdev) : nullptr; }

DeviceHookTable* TableOf(PDEVOBJ device) {
    return device != nullptr ? static_cast<DeviceHookTable*>(device->pdevOEM) : nullptr;
}

LabelSettings* SettingsOf(PDEVOBJ device) {
    return device != nullptr ? static_cast<LabelSettings*>(device->pOEMDM) : nullptr;
}

// Each hook forwards to the host's handler; without a table or a handler there is nobody to do
// the work, and the hook says so.
BOOL UNI_STDCALL HookStartDoc(SURFOBJ* pso, LPWSTR docName, DWORD jobId) {
    DeviceHookTable* t = TableOf(DeviceOf(pso));
    return (t != nullptr && t->startDoc != nullptr) ? t->startDoc(pso, docName, jobId) : FALSE;
}

BOOL UNI_STDCALL HookEndDoc(SURFOBJ* pso, ULONG flags) {
    DeviceHookTable* t = TableOf(DeviceOf(pso));
    return (t != nullptr && t->endDoc != nullptr) ? t->endDoc(pso, flags) : FALSE;
}

BOOL UNI_STDCALL HookStartPage(SURFOBJ* pso) {
    DeviceHookTable* t = TableOf(DeviceOf(pso));
    return (t != nullptr && t->startPage != nullptr) ? t->startPage(pso) : FALSE;
}

BOOL UNI_STDCALL HookSendPage(SURFOBJ* pso) {
    DeviceHookTable* t = TableOf(DeviceOf(pso));
    return (t != nullptr && t->sendPage != nullptr) ? t->sendPage(pso) : FALSE;
}

BOOL UNI_STDCALL HookTextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, RECTL* prclExtra,
                             RECTL* prclOpaque, BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque, POINTL* pptlOrg,
                             MIX mix) {
    PDEVOBJ device = DeviceOf(pso);
    LabelSettings* settings = SettingsOf(device);
    if (settings != nullptr && settings->textMode != 0) {
        if (pstro != nullptr) {
            const TextRun run{reinterpret_cast<const char16_t*>(pstro->pwszOrg), pstro->cGlyphs,
                              pstro->rclBkGround.top, pstro->rclBkGround.bottom};
            LocalMemory memory;
            SpoolerSink sink(device->hPrinter);
            WriteTextRun(*settings, run, memory, sink);
        }
        return TRUE;
    }
    DeviceHookTable* t = TableOf(device);
    return (t != nullptr && t->textOut != nullptr)
               ? t->textOut(pso, pstro, pfo, pco, prclExtra, prclOpaque, pboFore, pboOpaque, pptlOrg, mix)
               : FALSE;
}

const DRVFN kHooks[kHookCount] = {
    {INDEX_DrvTextOut, ToPfn(&HookTextOut)},
    {INDEX_DrvStartDoc, ToPfn(&HookStartDoc)},
    {INDEX_DrvEndDoc, ToPfn(&HookEndDoc)},
    {INDEX_DrvStartPage, ToPfn(&HookStartPage)},
    {INDEX_DrvSendPage, ToPfn(&HookSendPage)},
};

class LabelRenderer final : public IPrintOemUni2 {
public:
    LabelRenderer() { os::Increment(&liveObjectCount); }
    ~LabelRenderer() {
        if (host_ != nullptr) host_->Release();
        os::Decrement(&liveObjectCount);
    }
    LabelRenderer(const LabelRenderer&) = delete;
    LabelRenderer& operator=(const LabelRenderer&) = delete;

    HRESULT UNI_STDCALL QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        if (SameGuid(riid, IID_IUnknown) || SameGuid(riid, IID_IPrintOemUni2)) {
            *ppv = static_cast<IPrintOemUni2*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG UNI_STDCALL AddRef() override { return ULONG(os::Increment(&refs_)); }
    ULONG UNI_STDCALL Release() override {
        const LONG n = os::Decrement(&refs_);
        if (n == 0) delete this;
        return ULONG(n);
    }

    HRESULT UNI_STDCALL GetInfo(DWORD mode, PVOID buffer, DWORD cbSize, PDWORD pcbNeeded) override {
        if (pcbNeeded == nullptr || (mode != OEMGI_GETSIGNATURE && mode != OEMGI_GETVERSION)) {
            os::SetLastError(ERROR_INVALID_PARAMETER);
            return E_FAIL;
        }
        *pcbNeeded = 4;
        if (buffer == nullptr || cbSize < 4) {
            os::SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return E_FAIL;
        }
        if (mode == OEMGI_GETSIGNATURE)
            std::memcpy(buffer, kSignature, 4);
        else
            std::memcpy(buffer, &kSettingsVersion, 4);
        return S_OK;
    }

    HRESULT UNI_STDCALL DevMode(DWORD mode, OEMDMPARAM* param) override {
        if (param == nullptr) {
            os::SetLastError(ERROR_INVALID_PARAMETER);
            return E_FAIL;
        }
        uint32_t size = param->cbBufSize;
        const DevModeArgs args{&size, param->pOEMDMIn, param->pOEMDMOut};
        if (drvuni::DevMode(mode, &args) != DevModeStatus::Ok) {
            os::SetLastError(ERROR_INVALID_PARAMETER);
            return E_FAIL;
        }
        param->cbBufSize = size;
        return S_OK;
    }

    HRESULT UNI_STDCALL EnableDriver(DWORD, DWORD, DRVENABLEDATA* ded) override {
        if (ded == nullptr) return E_POINTER;
        ded->iDriverVersion = kDriverVersion;
        ded->c = kHookCount;
        ded->pdrvfn = const_cast<DRVFN*>(kHooks);
        return S_OK;
    }

    HRESULT UNI_STDCALL DisableDriver() override {
        if (host_ != nullptr) {
            host_->Release();
            host_ = nullptr;
        }
        return S_OK;
    }

    HRESULT UNI_STDCALL EnablePDEV(PDEVOBJ device, LPWSTR, ULONG, HSURF*, ULONG, GDIINFO*, ULONG, DEVINFO*,
                                   DRVENABLEDATA* ded, PVOID* pdevOEM) override {
        if (pdevOEM == nullptr) return E_POINTER;
        *pdevOEM = nullptr;
        auto* table = static_cast<DeviceHookTable*>(os::Alloc(sizeof(DeviceHookTable)));
        if (table == nullptr) return E_OUTOFMEMORY;
        if (ded != nullptr && ded->pdrvfn != nullptr) {
            for (ULONG i = 0; i < ded->c; ++i) {
                const DRVFN& fn = ded->pdrvfn[i];
                switch (fn.iFunc) {
                case INDEX_DrvTextOut: table->textOut = FromPfn<PFN_DrvTextOut>(fn.pfn); break;
                case INDEX_DrvStartDoc: table->startDoc = FromPfn<PFN_DrvStartDoc>(fn.pfn); break;
                case INDEX_DrvEndDoc: table->endDoc = FromPfn<PFN_DrvEndDoc>(fn.pfn); break;
                case INDEX_DrvStartPage: table->startPage = FromPfn<PFN_DrvStartPage>(fn.pfn); break;
                case INDEX_DrvSendPage: table->sendPage = FromPfn<PFN_DrvSendPage>(fn.pfn); break;
                default: break;
                }
            }
        }
        *pdevOEM = table;
        // Without a published host interface every feature reads as absent.
        if (LabelSettings* settings = SettingsOf(device)) {
            HostFeatures features(host_, device);
            ReadJobSettings(*settings, features);
        }
        return S_OK;
    }

    HRESULT UNI_STDCALL DisablePDEV(PDEVOBJ device) override {
        if (device != nullptr && device->pdevOEM != nullptr) {
            os::Free(device->pdevOEM);
            device->pdevOEM = nullptr;
        }
        return S_OK;
    }

    HRESULT UNI_STDCALL ResetPDEV(PDEVOBJ, PDEVOBJ) override { return S_OK; }

    HRESULT UNI_STDCALL PublishDriverInterface(IUnknown* host) override {
        if (host_ != nullptr) return S_OK;
        void* found = nullptr;
        if (host == nullptr || host->QueryInterface(IID_IPrintOemDriverUni, &found) != S_OK || found == nullptr) {
            host_ = nullptr;
            return E_FAIL;
        }
        host_ = static_cast<IPrintOemDriverUni*>(found);
        return S_OK;
    }

    HRESULT UNI_STDCALL GetImplementedMethod(PSTR name) override {
        if (name == nullptr) return S_FALSE;
        for (const char* implemented : {"CommandCallback", "ImageProcessing", "TextOutAsBitmap"})
            if (std::strcmp(name, implemented) == 0) return S_OK;
        return S_FALSE;
    }

    HRESULT UNI_STDCALL DriverDMS(PVOID, PVOID, DWORD, PDWORD) override { return E_NOTIMPL; }

    HRESULT UNI_STDCALL CommandCallback(PDEVOBJ, DWORD, DWORD, PDWORD, INT* result) override {
        if (result != nullptr) *result = 0;
        return S_OK;
    }

    HRESULT UNI_STDCALL ImageProcessing(PDEVOBJ device, PBYTE bits, BITMAPINFOHEADER* header, PBYTE, DWORD,
                                        IPPARAMS* params, PBYTE* result) override {
        BandResult outcome = BandResult::Unavailable;
        const LabelSettings* settings = SettingsOf(device);
        if (settings != nullptr && header != nullptr) {
            const Band band{bits, header->biWidth, header->biHeight, header->biSizeImage,
                            params != nullptr && params->bBlankBand != 0};
            HostFeatures features(host_, device);
            SpoolerSink sink(device->hPrinter);
            LocalMemory memory;
            outcome = drvuni::ImageProcessing(*settings, features, band, sink, memory);
        }
        if (result != nullptr) *result = outcome == BandResult::Consumed ? reinterpret_cast<PBYTE>(1) : nullptr;
        return S_OK;
    }

    HRESULT UNI_STDCALL FilterGraphics(PDEVOBJ device, PBYTE buffer, DWORD length) override {
        if (host_ == nullptr) return S_FALSE;
        DWORD written = 0;
        host_->DrvWriteSpoolBuf(device, buffer, length, &written);
        return written == length ? S_OK : S_FALSE;
    }

    HRESULT UNI_STDCALL Compression(PDEVOBJ, PBYTE, PBYTE, DWORD, DWORD, INT*) override { return E_NOTIMPL; }
    HRESULT UNI_STDCALL HalftonePattern(PDEVOBJ, PBYTE, DWORD, DWORD, DWORD, DWORD, PBYTE, DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT UNI_STDCALL MemoryUsage(PDEVOBJ, OEMMEMORYUSAGE*) override { return E_NOTIMPL; }
    HRESULT UNI_STDCALL TTYGetInfo(PDEVOBJ, DWORD, PVOID, DWORD, DWORD*) override { return E_NOTIMPL; }
    HRESULT UNI_STDCALL DownloadFontHeader(PDEVOBJ, UNIFONTOBJ*, DWORD*) override { return E_NOTIMPL; }
    HRESULT UNI_STDCALL DownloadCharGlyph(PDEVOBJ, UNIFONTOBJ*, HGLYPH, PDWORD, DWORD*) override {
        return E_NOTIMPL;
    }
    HRESULT UNI_STDCALL TTDownloadMethod(PDEVOBJ, UNIFONTOBJ*, DWORD*) override { return E_NOTIMPL; }
    HRESULT UNI_STDCALL OutputCharStr(PDEVOBJ, UNIFONTOBJ*, DWORD, DWORD, PVOID) override { return E_NOTIMPL; }
    HRESULT UNI_STDCALL SendFontCmd(PDEVOBJ, UNIFONTOBJ*, FINVOCATION*) override { return E_NOTIMPL; }

    // The text mode may change between runs; the host then draws the run itself.
    HRESULT UNI_STDCALL TextOutAsBitmap(SURFOBJ* pso, STROBJ*, FONTOBJ*, CLIPOBJ*, RECTL*, RECTL*, BRUSHOBJ*,
                                        BRUSHOBJ*, POINTL*, MIX) override {
        PDEVOBJ device = DeviceOf(pso);
        if (LabelSettings* settings = SettingsOf(device)) {
            HostFeatures features(host_, device);
            ReadPrintMode(*settings, features);
        }
        return E_NOTIMPL;
    }

    HRESULT UNI_STDCALL WritePrinter(PDEVOBJ, PVOID, DWORD, PDWORD) override { return E_NOTIMPL; }

private:
    volatile LONG refs_ = 1;
    IPrintOemDriverUni* host_ = nullptr;   // one reference, from PublishDriverInterface
};

class LabelRendererFactory final : public IClassFactory {
public:
    HRESULT UNI_STDCALL QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        if (SameGuid(riid, IID_IUnknown) || SameGuid(riid, IID_IClassFactory)) {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG UNI_STDCALL AddRef() override { return ULONG(os::Increment(&refs_)); }
    ULONG UNI_STDCALL Release() override {
        const LONG n = os::Decrement(&refs_);
        if (n == 0) delete this;
        return ULONG(n);
    }

    HRESULT UNI_STDCALL CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        *ppv = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        auto* renderer = new (std::nothrow) LabelRenderer;
        if (renderer == nullptr) return E_OUTOFMEMORY;
        const HRESULT hr = renderer->QueryInterface(riid, ppv);
        renderer->Release();
        return hr;
    }

    HRESULT UNI_STDCALL LockServer(BOOL lock) override {
        if (lock)
            os::Increment(&serverLockCount);
        else
            os::Decrement(&serverLockCount);
        return S_OK;
    }

private:
    volatile LONG refs_ = 1;
};

}  // namespace
}  // namespace drvuni

extern "C" HRESULT UNI_STDCALL DllGetClassObject(REFCLSID clsid, REFIID iid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (!uni::SameGuid(clsid, CLSID_UniRenderPlugin)) return CLASS_E_CLASSNOTAVAILABLE;
    auto* factory = new (std::nothrow) drvuni::LabelRendererFactory;
    if (factory == nullptr) return E_OUTOFMEMORY;
    const HRESULT hr = factory->QueryInterface(iid, ppv);
    factory->Release();
    return hr;
}

extern "C" HRESULT UNI_STDCALL DllCanUnloadNow() {
    return (drvuni::liveObjectCount == 0 && drvuni::serverLockCount == 0) ? S_OK : S_FALSE;
}
