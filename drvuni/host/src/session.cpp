#include <cstring>

#include "unisim/unisim.h"

using namespace uni;

namespace unisim {

// ---- HostInterface ----

HRESULT UNI_STDCALL HostInterface::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (SameGuid(riid, IID_IUnknown) || (answerInterface_ && SameGuid(riid, IID_IPrintOemDriverUni))) {
        *ppv = static_cast<IPrintOemDriverUni*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG UNI_STDCALL HostInterface::AddRef() { return ULONG(++refs_); }
ULONG UNI_STDCALL HostInterface::Release() { return ULONG(--refs_); }   // lives on the host's stack

HRESULT UNI_STDCALL HostInterface::DrvGetDriverSetting(PVOID, PCSTR feature, PVOID output, DWORD cbSize,
                                                       PDWORD pcbNeeded, PDWORD pdwOptionsReturned) {
    if (feature == nullptr) return E_FAIL;
    queries_.emplace_back(feature);
    const auto it = features_.find(feature);
    if (it == features_.end()) return E_FAIL;
    const DWORD needed = DWORD(it->second.size() + 1);
    if (pcbNeeded != nullptr) *pcbNeeded = needed;
    if (output == nullptr || cbSize < needed) return E_FAIL;
    std::memcpy(output, it->second.c_str(), needed);
    if (pdwOptionsReturned != nullptr) *pdwOptionsReturned = 1;
    return S_OK;
}

HRESULT UNI_STDCALL HostInterface::DrvWriteSpoolBuf(PDEVOBJ, PVOID buffer, DWORD cbSize, PDWORD pdwResult) {
    const DWORD n = cbSize < spoolLimit_ ? cbSize : spoolLimit_;
    const auto* p = static_cast<const uint8_t*>(buffer);
    if (p != nullptr) spooled_.insert(spooled_.end(), p, p + n);
    if (pdwResult != nullptr) *pdwResult = n;
    return S_OK;
}

// ---- Module ----

IPrintOemUni2* Module::CreateRenderer(std::string* error) const {
    void* factory = nullptr;
    HRESULT hr = GetClassObject(CLSID_UniRenderPlugin, IID_IClassFactory, &factory);
    if (hr != S_OK || factory == nullptr) {
        if (error) *error = "DllGetClassObject failed: " + std::to_string(hr);
        return nullptr;
    }
    void* object = nullptr;
    hr = static_cast<IClassFactory*>(factory)->CreateInstance(nullptr, IID_IPrintOemUni2, &object);
    static_cast<IClassFactory*>(factory)->Release();
    if (hr != S_OK || object == nullptr) {
        if (error) *error = "CreateInstance failed: " + std::to_string(hr);
        return nullptr;
    }
    return static_cast<IPrintOemUni2*>(object);
}

// ---- the session ----

namespace {

struct Device {
    DEVOBJ devobj;   // first: the host's handlers find the device through SURFOBJ.dhpdev
    IPrintOemUni2* plugin;
    std::vector<std::string>* events;
};

Device& DeviceOf(SURFOBJ* pso) { return *static_cast<Device*>(pso->dhpdev); }

// Unidrv's own text output: with no device fonts it asks the plug-in to draw the run as a bitmap,
// and draws it itself when the plug-in declines.
BOOL UNI_STDCALL HostTextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, RECTL* prclExtra,
                             RECTL* prclOpaque, BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque, POINTL* pptlOrg, MIX mix) {
    Device& d = DeviceOf(pso);
    const HRESULT hr =
        d.plugin->TextOutAsBitmap(pso, pstro, pfo, pco, prclExtra, prclOpaque, pboFore, pboOpaque, pptlOrg, mix);
    d.events->push_back(hr == E_NOTIMPL ? "host DrvTextOut: drawn by the host" : "host DrvTextOut: drawn by the plug-in");
    return TRUE;
}
BOOL UNI_STDCALL HostStartDoc(SURFOBJ* pso, LPWSTR, DWORD jobId) {
    DeviceOf(pso).events->push_back("host DrvStartDoc " + std::to_string(jobId));
    return TRUE;
}
BOOL UNI_STDCALL HostEndDoc(SURFOBJ* pso, ULONG) {
    DeviceOf(pso).events->push_back("host DrvEndDoc");
    return TRUE;
}
BOOL UNI_STDCALL HostStartPage(SURFOBJ* pso) {
    DeviceOf(pso).events->push_back("host DrvStartPage");
    return TRUE;
}
BOOL UNI_STDCALL HostSendPage(SURFOBJ* pso) {
    DeviceOf(pso).events->push_back("host DrvSendPage");
    return TRUE;
}
LONG_PTR UNI_STDCALL HostOther() { return 0; }

PFN HostHandler(ULONG index) {
    switch (index) {
    case INDEX_DrvTextOut: return ToPfn(&HostTextOut);
    case INDEX_DrvStartDoc: return ToPfn(&HostStartDoc);
    case INDEX_DrvEndDoc: return ToPfn(&HostEndDoc);
    case INDEX_DrvStartPage: return ToPfn(&HostStartPage);
    case INDEX_DrvSendPage: return ToPfn(&HostSendPage);
    default: return ToPfn(&HostOther);
    }
}

struct Hooks {
    PFN_DrvTextOut textOut = nullptr;
    PFN_DrvStartDoc startDoc = nullptr;
    PFN_DrvEndDoc endDoc = nullptr;
    PFN_DrvStartPage startPage = nullptr;
    PFN_DrvSendPage sendPage = nullptr;
};

bool ReadHooks(const DRVENABLEDATA& ded, Hooks* hooks, std::string* error) {
    if (ded.iDriverVersion != 0x10000 || ded.c != 5 || ded.pdrvfn == nullptr) {
        *error = "EnableDriver gave an unexpected hook list";
        return false;
    }
    for (ULONG i = 0; i < ded.c; ++i) {
        const DRVFN& fn = ded.pdrvfn[i];
        switch (fn.iFunc) {
        case INDEX_DrvTextOut: hooks->textOut = FromPfn<PFN_DrvTextOut>(fn.pfn); break;
        case INDEX_DrvStartDoc: hooks->startDoc = FromPfn<PFN_DrvStartDoc>(fn.pfn); break;
        case INDEX_DrvEndDoc: hooks->endDoc = FromPfn<PFN_DrvEndDoc>(fn.pfn); break;
        case INDEX_DrvStartPage: hooks->startPage = FromPfn<PFN_DrvStartPage>(fn.pfn); break;
        case INDEX_DrvSendPage: hooks->sendPage = FromPfn<PFN_DrvSendPage>(fn.pfn); break;
        default: break;
        }
    }
    if (!hooks->textOut || !hooks->startDoc || !hooks->endDoc || !hooks->startPage || !hooks->sendPage) {
        *error = "EnableDriver did not hook all five operations";
        return false;
    }
    return true;
}

// Runs the session on an object already made; returns false at the first unexpected answer.
bool Drive(IPrintOemUni2* plugin, HostInterface& host, const Session& session, CapturePrinter& printer,
           SessionResult& r) {
    DWORD needed = 0;
    char signature[4] = {};
    if (plugin->GetInfo(OEMGI_GETSIGNATURE, signature, sizeof signature, &needed) != S_OK ||
        std::memcmp(signature, "QLBV", 4) != 0) {
        r.error = "GetInfo did not answer the signature";
        return false;
    }

    OEMDMPARAM dm = {};
    dm.cbSize = sizeof dm;
    if (plugin->DevMode(OEMDM_SIZE, &dm) != S_OK || dm.cbBufSize == 0 || dm.cbBufSize > 4096) {
        r.error = "DevMode(OEMDM_SIZE) failed";
        return false;
    }
    std::vector<uint8_t> record(dm.cbBufSize);
    dm.pOEMDMOut = record.data();
    if (plugin->DevMode(OEMDM_DEFAULT, &dm) != S_OK) {
        r.error = "DevMode(OEMDM_DEFAULT) failed";
        return false;
    }

    if (plugin->PublishDriverInterface(&host) != S_OK) {
        r.error = "PublishDriverInterface failed";
        return false;
    }
    DRVENABLEDATA ded = {};
    if (plugin->EnableDriver(0x10000, sizeof ded, &ded) != S_OK) {
        r.error = "EnableDriver failed";
        return false;
    }
    Hooks hooks;
    if (!ReadHooks(ded, &hooks, &r.error)) return false;
    if (plugin->GetImplementedMethod(const_cast<PSTR>("ImageProcessing")) != S_OK) {
        r.error = "ImageProcessing is not announced";
        return false;
    }

    Device device = {};
    device.devobj.dwSize = sizeof(DEVOBJ);
    device.devobj.hPrinter = printer.handle();
    device.devobj.pOEMDM = record.data();
    device.plugin = plugin;
    device.events = &r.events;
    std::vector<DRVFN> handlers;
    for (ULONG index : session.hostHandlers) handlers.push_back({index, HostHandler(index)});
    DRVENABLEDATA hostData = {0x10000, ULONG(handlers.size()), handlers.data()};
    PVOID pdevOEM = nullptr;
    wchar_t printerName[] = L"Label printer";
    if (plugin->EnablePDEV(&device.devobj, reinterpret_cast<LPWSTR>(printerName), 0, nullptr, 0, nullptr, 0,
                           nullptr, &hostData, &pdevOEM) != S_OK ||
        pdevOEM == nullptr) {
        r.error = "EnablePDEV failed";
        return false;
    }
    device.devobj.pdevOEM = pdevOEM;

    SURFOBJ surface = {};
    surface.dhpdev = &device.devobj;
    wchar_t docName[] = L"labels";
    hooks.startDoc(&surface, reinterpret_cast<LPWSTR>(docName), 1);
    for (const auto& page : session.pages) {
        hooks.startPage(&surface);
        for (const PageItem& item : page) {
            if (item.kind == PageItem::Kind::Text) {
                std::u16string text = item.text.text;
                STROBJ run = {};
                run.cGlyphs = ULONG(text.size());
                run.rclBkGround = {0, item.text.top, 8, item.text.bottom};
                run.pwszOrg = reinterpret_cast<LPWSTR>(text.data());
                r.textResults.push_back(hooks.textOut(&surface, &run, nullptr, nullptr, nullptr, nullptr, nullptr,
                                                      nullptr, nullptr, 0x0D0D));
                continue;
            }
            const BandInput& band = item.band;
            BITMAPINFOHEADER header = {};
            header.biSize = sizeof header;
            header.biWidth = band.width;
            header.biHeight = band.height;
            header.biPlanes = 1;
            header.biBitCount = 1;
            header.biSizeImage = band.sizeImage;
            BYTE colours[8] = {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0};
            IPPARAMS params = {};
            params.dwSize = sizeof params;
            params.bBanding = TRUE;
            params.bBlankBand = band.blank ? TRUE : FALSE;
            std::vector<uint8_t> bits = band.bits;   // the host's band memory is its own
            static BYTE unset;
            PBYTE result = &unset;
            const HRESULT hr = plugin->ImageProcessing(&device.devobj, bits.empty() ? nullptr : bits.data(), &header,
                                                       colours, 0, &params, &result);
            if (hr != S_OK || (result != nullptr && result != reinterpret_cast<PBYTE>(1))) {
                r.error = "ImageProcessing answered out of contract";
                return false;
            }
            r.bandsConsumed.push_back(result != nullptr);
        }
        hooks.sendPage(&surface);
    }
    hooks.endDoc(&surface, 0);

    r.settings = record;
    if (plugin->DisablePDEV(&device.devobj) != S_OK) {
        r.error = "DisablePDEV failed";
        return false;
    }
    if (plugin->DisableDriver() != S_OK) {
        r.error = "DisableDriver failed";
        return false;
    }
    return true;
}

}  // namespace

SessionResult RunSession(Module& module, const Session& session) {
    SessionResult r;
    std::unique_ptr<CapturePrinter> printer = CapturePrinter::Open(&r.error);
    if (!printer) return r;
    IPrintOemUni2* plugin = module.CreateRenderer(&r.error);
    if (plugin == nullptr) return r;

    HostInterface host(session.features);
    const bool driven = Drive(plugin, host, session, *printer, r);
    const ULONG left = plugin->Release();
    r.queries = host.queries();
    std::string captureError;
    const bool captured = printer->Finish(&r.printed, &captureError);
    r.canUnloadNow = module.CanUnloadNow();
    if (!driven) return r;
    if (left != 0) {
        r.error = "the plug-in object outlived its last reference";
        return r;
    }
    if (host.refs() != 1) {
        r.error = "the plug-in kept a reference to the host interface";
        return r;
    }
    if (!captured) {
        r.error = captureError;
        return r;
    }
    r.ok = true;
    return r;
}

}  // namespace unisim
