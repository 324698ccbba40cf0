// The COM shell through the module's entry points: the linked shell on the host build, the win64
// DLL under Wine. Lifetime, the factory, every slot's answer, the hooks and the device table.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "drvuni/plugin.h"
#include "drvuni/settings.h"
#include "unisim/unisim.h"

using namespace uni;

namespace {

constexpr DWORD kSentinelError = 0xDEADBEEF;
void* const kSentinelPointer = reinterpret_cast<void*>(uintptr_t(0x1234));

std::vector<std::string> hookLog;

BOOL UNI_STDCALL TextOutHandler(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, RECTL* extra, RECTL* opaque,
                                BRUSHOBJ* fore, BRUSHOBJ* back, POINTL* org, MIX mix) {
    const bool same = pso != nullptr && pstro == reinterpret_cast<STROBJ*>(0x10) && pfo == reinterpret_cast<FONTOBJ*>(0x20) &&
                      pco == reinterpret_cast<CLIPOBJ*>(0x30) && extra == reinterpret_cast<RECTL*>(0x40) &&
                      opaque == reinterpret_cast<RECTL*>(0x50) && fore == reinterpret_cast<BRUSHOBJ*>(0x60) &&
                      back == reinterpret_cast<BRUSHOBJ*>(0x70) && org == reinterpret_cast<POINTL*>(0x80) && mix == 0x0D0D;
    hookLog.push_back(same ? "TextOut" : "TextOut with other arguments");
    return 11;
}
BOOL UNI_STDCALL StartDocHandler(SURFOBJ*, LPWSTR name, DWORD job) {
    hookLog.push_back("StartDoc " + std::to_string(job) + (name != nullptr ? " named" : ""));
    return 12;
}
BOOL UNI_STDCALL EndDocHandler(SURFOBJ*, ULONG flags) {
    hookLog.push_back("EndDoc " + std::to_string(flags));
    return 13;
}
BOOL UNI_STDCALL StartPageHandler(SURFOBJ*) {
    hookLog.push_back("StartPage");
    return 14;
}
BOOL UNI_STDCALL SendPageHandler(SURFOBJ*) {
    hookLog.push_back("SendPage");
    return 15;
}
BOOL UNI_STDCALL OtherStartDocHandler(SURFOBJ*, LPWSTR, DWORD) {
    hookLog.push_back("other StartDoc");
    return 16;
}

class Com : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(module.Load(&error)) << error;
        ASSERT_EQ(module.CanUnloadNow(), S_OK) << "an earlier test left an object or a lock behind";
    }
    void TearDown() override { EXPECT_EQ(module.CanUnloadNow(), S_OK) << "objects or locks left"; }

    IClassFactory* Factory() {
        void* p = nullptr;
        EXPECT_EQ(module.GetClassObject(CLSID_UniRenderPlugin, IID_IClassFactory, &p), S_OK);
        return static_cast<IClassFactory*>(p);
    }
    IPrintOemUni2* Renderer() {
        std::string error;
        IPrintOemUni2* r = module.CreateRenderer(&error);
        EXPECT_NE(r, nullptr) << error;
        return r;
    }

    unisim::Module module;
};

}  // namespace

TEST_F(Com, GetClassObject) {
    EXPECT_EQ(module.GetClassObject(CLSID_UniRenderPlugin, IID_IClassFactory, nullptr), E_POINTER);

    void* p = kSentinelPointer;
    EXPECT_EQ(module.GetClassObject(IID_IPrintOemUni2, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(p, nullptr);

    p = kSentinelPointer;
    EXPECT_EQ(module.GetClassObject(CLSID_UniRenderPlugin, IID_IPrintOemUni2, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);

    for (const GUID* iid : {&IID_IUnknown, &IID_IClassFactory}) {
        p = nullptr;
        ASSERT_EQ(module.GetClassObject(CLSID_UniRenderPlugin, *iid, &p), S_OK);
        ASSERT_NE(p, nullptr);
        // A factory alone does not keep the module.
        EXPECT_EQ(module.CanUnloadNow(), S_OK);
        EXPECT_EQ(static_cast<IUnknown*>(p)->Release(), 0u);
    }
}

TEST_F(Com, FactoryInterfacesAndCounts) {
    IClassFactory* f = Factory();
    ASSERT_NE(f, nullptr);
    void* p = kSentinelPointer;
    EXPECT_EQ(f->QueryInterface(IID_IPrintOemUni2, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(f->QueryInterface(IID_IUnknown, &p), S_OK);
    EXPECT_EQ(p, f);
    EXPECT_EQ(f->AddRef(), 3u);
    EXPECT_EQ(f->Release(), 2u);
    EXPECT_EQ(f->Release(), 1u);

    EXPECT_EQ(f->CreateInstance(nullptr, IID_IPrintOemUni2, nullptr), E_POINTER);
    p = kSentinelPointer;
    EXPECT_EQ(f->CreateInstance(reinterpret_cast<IUnknown*>(f), IID_IPrintOemUni2, &p), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(p, nullptr);
    p = kSentinelPointer;
    EXPECT_EQ(f->CreateInstance(nullptr, IID_IClassFactory, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(module.CanUnloadNow(), S_OK);   // the refused object is gone
    EXPECT_EQ(f->Release(), 0u);
}

TEST_F(Com, ObjectInterfacesAndLifetime) {
    IPrintOemUni2* r = Renderer();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(module.CanUnloadNow(), S_FALSE);
    for (const GUID* other : {&IID_IClassFactory, &IID_IPrintOemDriverUni, &CLSID_UniRenderPlugin}) {
        void* p = kSentinelPointer;
        EXPECT_EQ(r->QueryInterface(*other, &p), E_NOINTERFACE);
        EXPECT_EQ(p, nullptr);
    }
    void* p = nullptr;
    EXPECT_EQ(r->QueryInterface(IID_IUnknown, &p), S_OK);
    EXPECT_EQ(p, r);
    EXPECT_EQ(r->Release(), 1u);
    EXPECT_EQ(r->AddRef(), 2u);
    EXPECT_EQ(r->Release(), 1u);
    EXPECT_EQ(r->Release(), 0u);
    EXPECT_EQ(module.CanUnloadNow(), S_OK);
}

TEST_F(Com, LocksKeepTheModule) {
    IClassFactory* f = Factory();
    EXPECT_EQ(f->LockServer(TRUE), S_OK);
    EXPECT_EQ(f->Release(), 0u);
    EXPECT_EQ(module.CanUnloadNow(), S_FALSE);
    f = Factory();
    EXPECT_EQ(f->LockServer(TRUE), S_OK);
    EXPECT_EQ(f->LockServer(FALSE), S_OK);
    EXPECT_EQ(module.CanUnloadNow(), S_FALSE);
    EXPECT_EQ(f->LockServer(FALSE), S_OK);
    EXPECT_EQ(module.CanUnloadNow(), S_OK);
    f->Release();
}

TEST_F(Com, GetInfo) {
    IPrintOemUni2* r = Renderer();
    struct Case {
        const char* name;
        DWORD mode, size;
        bool buffer, needed;
        HRESULT hr;
        DWORD error, neededAfter;
        uint8_t bytes[4];
    } cases[] = {
        {"version", 3, 4, true, true, S_OK, kSentinelError, 4, {1, 0, 0, 0}},
        {"signature", 1, 4, true, true, S_OK, kSentinelError, 4, {'Q', 'L', 'B', 'V'}},
        {"signature into 8 bytes", 1, 8, true, true, S_OK, kSentinelError, 4, {'Q', 'L', 'B', 'V'}},
        {"mode 2", 2, 4, true, true, E_FAIL, ERROR_INVALID_PARAMETER, 99, {0xAA, 0xAA, 0xAA, 0xAA}},
        {"mode 0", 0, 4, true, true, E_FAIL, ERROR_INVALID_PARAMETER, 99, {0xAA, 0xAA, 0xAA, 0xAA}},
        {"no needed", 1, 4, true, false, E_FAIL, ERROR_INVALID_PARAMETER, 99, {0xAA, 0xAA, 0xAA, 0xAA}},
        {"2-byte buffer", 1, 2, true, true, E_FAIL, ERROR_INSUFFICIENT_BUFFER, 4, {0xAA, 0xAA, 0xAA, 0xAA}},
        {"no buffer", 3, 4, false, true, E_FAIL, ERROR_INSUFFICIENT_BUFFER, 4, {0xAA, 0xAA, 0xAA, 0xAA}},
    };
    for (const Case& c : cases) {
        uint8_t buffer[8];
        std::memset(buffer, 0xAA, sizeof buffer);
        DWORD needed = 99;
        module.SetLastError(kSentinelError);
        EXPECT_EQ(r->GetInfo(c.mode, c.buffer ? buffer : nullptr, c.size, c.needed ? &needed : nullptr), c.hr) << c.name;
        EXPECT_EQ(module.LastError(), c.error) << c.name;
        EXPECT_EQ(needed, c.neededAfter) << c.name;
        EXPECT_EQ(std::memcmp(buffer, c.bytes, 4), 0) << c.name;
    }
    r->Release();
}

TEST_F(Com, ImplementedMethodsAndUnimplementedSlots) {
    IPrintOemUni2* r = Renderer();
    struct Case {
        const char* name;
        HRESULT hr;
    } names[] = {{"CommandCallback", S_OK}, {"ImageProcessing", S_OK}, {"TextOutAsBitmap", S_OK},
                 {"FilterGraphics", S_FALSE}, {"commandcallback", S_FALSE}, {"ImageProcessing ", S_FALSE},
                 {"Image", S_FALSE}, {"", S_FALSE}};
    for (const Case& c : names) {
        std::string name = c.name;
        EXPECT_EQ(r->GetImplementedMethod(name.data()), c.hr) << '"' << c.name << '"';
    }
    EXPECT_EQ(r->GetImplementedMethod(nullptr), S_FALSE);

    EXPECT_EQ(r->DriverDMS(nullptr, nullptr, 0, nullptr), E_NOTIMPL);
    EXPECT_EQ(r->Compression(nullptr, nullptr, nullptr, 0, 0, nullptr), E_NOTIMPL);
    EXPECT_EQ(r->HalftonePattern(nullptr, nullptr, 0, 0, 0, 0, nullptr, 0), E_NOTIMPL);
    EXPECT_EQ(r->MemoryUsage(nullptr, nullptr), E_NOTIMPL);
    EXPECT_EQ(r->TTYGetInfo(nullptr, 0, nullptr, 0, nullptr), E_NOTIMPL);
    EXPECT_EQ(r->DownloadFontHeader(nullptr, nullptr, nullptr), E_NOTIMPL);
    EXPECT_EQ(r->DownloadCharGlyph(nullptr, nullptr, 0, nullptr, nullptr), E_NOTIMPL);
    EXPECT_EQ(r->TTDownloadMethod(nullptr, nullptr, nullptr), E_NOTIMPL);
    EXPECT_EQ(r->OutputCharStr(nullptr, nullptr, 0, 0, nullptr), E_NOTIMPL);
    EXPECT_EQ(r->SendFontCmd(nullptr, nullptr, nullptr), E_NOTIMPL);
    EXPECT_EQ(r->WritePrinter(nullptr, nullptr, 0, nullptr), E_NOTIMPL);
    EXPECT_EQ(r->TextOutAsBitmap(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0),
              E_NOTIMPL);
    EXPECT_EQ(r->ResetPDEV(nullptr, nullptr), S_OK);
    INT result = 5;
    EXPECT_EQ(r->CommandCallback(nullptr, 1, 0, nullptr, &result), S_OK);
    EXPECT_EQ(result, 0);
    r->Release();
}

TEST_F(Com, DevModeThroughTheObject) {
    IPrintOemUni2* r = Renderer();
    module.SetLastError(kSentinelError);
    EXPECT_EQ(r->DevMode(OEMDM_SIZE, nullptr), E_FAIL);
    EXPECT_EQ(module.LastError(), ERROR_INVALID_PARAMETER);

    OEMDMPARAM p = {};
    p.cbSize = sizeof p;
    module.SetLastError(kSentinelError);
    EXPECT_EQ(r->DevMode(OEMDM_SIZE, &p), S_OK);
    EXPECT_EQ(p.cbBufSize, 164u);
    EXPECT_EQ(module.LastError(), kSentinelError);

    for (DWORD mode : {0u, 5u}) {
        module.SetLastError(kSentinelError);
        EXPECT_EQ(r->DevMode(mode, &p), E_FAIL);
        EXPECT_EQ(module.LastError(), ERROR_INVALID_PARAMETER);
    }
    module.SetLastError(kSentinelError);
    EXPECT_EQ(r->DevMode(OEMDM_DEFAULT, &p), E_FAIL);   // nowhere to write the defaults
    EXPECT_EQ(module.LastError(), ERROR_INVALID_PARAMETER);

    std::vector<uint8_t> in(164, 0), out(164, 0);
    p.pOEMDMOut = out.data();
    EXPECT_EQ(r->DevMode(OEMDM_DEFAULT, &p), S_OK);
    EXPECT_EQ(std::memcmp(&out[4], "QLBV", 4), 0);
    EXPECT_EQ(out[0], 164);
    in = out;
    in[136] = 9;
    in[0] = 140;   // a stored record of 140 bytes still reaches offset 136
    p.pOEMDMIn = in.data();
    EXPECT_EQ(r->DevMode(OEMDM_MERGE, &p), S_OK);
    EXPECT_EQ(out[136], 9);
    EXPECT_EQ(out[0], 164);
    r->Release();
}

TEST_F(Com, PublishDriverInterfaceHoldsOneReference) {
    IPrintOemUni2* r = Renderer();
    unisim::HostInterface host;
    host.set_answer_interface(false);
    EXPECT_EQ(r->PublishDriverInterface(nullptr), E_FAIL);
    EXPECT_EQ(r->PublishDriverInterface(&host), E_FAIL);
    EXPECT_EQ(host.refs(), 1);

    host.set_answer_interface(true);
    EXPECT_EQ(r->PublishDriverInterface(&host), S_OK);
    EXPECT_EQ(host.refs(), 2);
    unisim::HostInterface other;
    EXPECT_EQ(r->PublishDriverInterface(&other), S_OK);   // one is already held
    EXPECT_EQ(other.refs(), 1);
    EXPECT_EQ(r->DisableDriver(), S_OK);
    EXPECT_EQ(host.refs(), 1);
    EXPECT_EQ(r->DisableDriver(), S_OK);

    EXPECT_EQ(r->PublishDriverInterface(&other), S_OK);
    EXPECT_EQ(other.refs(), 2);
    EXPECT_EQ(r->Release(), 0u);   // destruction lets go of it
    EXPECT_EQ(other.refs(), 1);
}

TEST_F(Com, EnableDriverHooksFiveOperations) {
    IPrintOemUni2* r = Renderer();
    DRVENABLEDATA ded = {};
    EXPECT_EQ(r->EnableDriver(0x10000, sizeof ded, &ded), S_OK);
    EXPECT_EQ(ded.iDriverVersion, 0x10000u);
    ASSERT_EQ(ded.c, 5u);
    const ULONG order[] = {23, 35, 34, 33, 32};
    for (ULONG i = 0; i < 5; ++i) {
        EXPECT_EQ(ded.pdrvfn[i].iFunc, order[i]);
        EXPECT_NE(ded.pdrvfn[i].pfn, nullptr);
    }
    EXPECT_EQ(r->EnableDriver(0x10000, sizeof ded, nullptr), E_POINTER);
    r->Release();
}

// EnablePDEV keeps the host's handlers by index, the last of each; the hooks forward to them with
// the same arguments and hand back their result; a missing handler makes the hook fail.
TEST_F(Com, DeviceTableAndHooks) {
    IPrintOemUni2* r = Renderer();
    unisim::HostInterface host(unisim::Features{{"RotatePrint", "Rotate180"}, {"HorizontalOffset", "4"}});
    ASSERT_EQ(r->PublishDriverInterface(&host), S_OK);
    DRVENABLEDATA mine = {};
    ASSERT_EQ(r->EnableDriver(0x10000, sizeof mine, &mine), S_OK);
    auto hook = [&](ULONG index) {
        for (ULONG i = 0; i < mine.c; ++i)
            if (mine.pdrvfn[i].iFunc == index) return mine.pdrvfn[i].pfn;
        return PFN(nullptr);
    };

    // No DrvEndDoc; DrvStartDoc twice (the later one counts); one index the plug-in does not hook.
    DRVFN handlers[] = {
        {INDEX_DrvStartDoc, ToPfn(&OtherStartDocHandler)}, {INDEX_DrvTextOut, ToPfn(&TextOutHandler)},
        {INDEX_DrvStartPage, ToPfn(&StartPageHandler)},    {INDEX_DrvSendPage, ToPfn(&SendPageHandler)},
        {7, ToPfn(&EndDocHandler)},                        {INDEX_DrvStartDoc, ToPfn(&StartDocHandler)},
    };
    DRVENABLEDATA theirs = {0x10000, 6, handlers};
    std::vector<uint8_t> record(164, 0);
    drvuni::WriteDefaults(record.data());
    DEVOBJ dev = {};
    dev.dwSize = sizeof dev;
    dev.pOEMDM = record.data();
    PVOID table = kSentinelPointer;
    ASSERT_EQ(r->EnablePDEV(&dev, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, &theirs, &table), S_OK);
    ASSERT_NE(table, nullptr);
    const auto* t = static_cast<const drvuni::DeviceHookTable*>(table);
    EXPECT_EQ(t->endDoc, nullptr);
    EXPECT_EQ(t->startDoc, FromPfn<PFN_DrvStartDoc>(ToPfn(&StartDocHandler)));
    dev.pdevOEM = table;
    const auto* settings = reinterpret_cast<const drvuni::LabelSettings*>(record.data());
    EXPECT_EQ(settings->rotation, 3u);
    EXPECT_EQ(settings->horizontalOffset, 4u);
    EXPECT_EQ(host.queries().size(), 6u);

    SURFOBJ surface = {};
    surface.dhpdev = &dev;
    hookLog.clear();
    wchar_t doc[] = L"doc";
    EXPECT_EQ(FromPfn<PFN_DrvStartDoc>(hook(INDEX_DrvStartDoc))(&surface, reinterpret_cast<LPWSTR>(doc), 42), 12);
    EXPECT_EQ(FromPfn<PFN_DrvStartPage>(hook(INDEX_DrvStartPage))(&surface), 14);
    EXPECT_EQ(FromPfn<PFN_DrvTextOut>(hook(INDEX_DrvTextOut))(
                  &surface, reinterpret_cast<STROBJ*>(0x10), reinterpret_cast<FONTOBJ*>(0x20),
                  reinterpret_cast<CLIPOBJ*>(0x30), reinterpret_cast<RECTL*>(0x40), reinterpret_cast<RECTL*>(0x50),
                  reinterpret_cast<BRUSHOBJ*>(0x60), reinterpret_cast<BRUSHOBJ*>(0x70), reinterpret_cast<POINTL*>(0x80),
                  0x0D0D),
              11);
    EXPECT_EQ(FromPfn<PFN_DrvSendPage>(hook(INDEX_DrvSendPage))(&surface), 15);
    EXPECT_EQ(FromPfn<PFN_DrvEndDoc>(hook(INDEX_DrvEndDoc))(&surface, 3), FALSE);
    EXPECT_EQ(hookLog, (std::vector<std::string>{"StartDoc 42 named", "StartPage", "TextOut", "SendPage"}));

    // Without a device table the hooks have nobody to forward to.
    SURFOBJ bare = {};
    DEVOBJ noTable = {};
    bare.dhpdev = &noTable;
    hookLog.clear();
    EXPECT_EQ(FromPfn<PFN_DrvSendPage>(hook(INDEX_DrvSendPage))(&bare), FALSE);
    EXPECT_EQ(FromPfn<PFN_DrvStartPage>(hook(INDEX_DrvStartPage))(nullptr), FALSE);
    EXPECT_TRUE(hookLog.empty());

    EXPECT_EQ(r->DisablePDEV(&dev), S_OK);
    EXPECT_EQ(dev.pdevOEM, nullptr);
    EXPECT_EQ(r->DisablePDEV(&dev), S_OK);   // nothing left to free
    EXPECT_EQ(r->DisablePDEV(nullptr), S_OK);
    r->DisableDriver();
    r->Release();
}

TEST_F(Com, EnablePDEVWithoutAHostReadsEveryFeatureAsAbsent) {
    IPrintOemUni2* r = Renderer();
    std::vector<uint8_t> record(164, 0);
    drvuni::WriteDefaults(record.data());
    auto* s = reinterpret_cast<drvuni::LabelSettings*>(record.data());
    s->rotation = 3;
    s->textMode = 1;
    DEVOBJ dev = {};
    dev.pOEMDM = record.data();
    PVOID table = nullptr;
    EXPECT_EQ(r->EnablePDEV(&dev, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, nullptr, &table), S_OK);
    EXPECT_EQ(s->rotation, 0u);
    EXPECT_EQ(s->textMode, 1u);   // "UseFont" absent keeps it
    dev.pdevOEM = table;
    EXPECT_EQ(r->DisablePDEV(&dev), S_OK);
    EXPECT_EQ(r->EnablePDEV(&dev, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, nullptr, nullptr), E_POINTER);
    r->Release();
}

TEST_F(Com, TextOutAsBitmapRereadsThePrintMode) {
    IPrintOemUni2* r = Renderer();
    unisim::HostInterface host(unisim::Features{{"Print Mode", "Print By Text"}});
    ASSERT_EQ(r->PublishDriverInterface(&host), S_OK);
    std::vector<uint8_t> record(164, 0);
    drvuni::WriteDefaults(record.data());
    DEVOBJ dev = {};
    dev.pOEMDM = record.data();
    SURFOBJ surface = {};
    surface.dhpdev = &dev;
    EXPECT_EQ(r->TextOutAsBitmap(&surface, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0),
              E_NOTIMPL);
    EXPECT_EQ(reinterpret_cast<drvuni::LabelSettings*>(record.data())->textMode, 1u);
    host.features().clear();
    r->TextOutAsBitmap(&surface, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0);
    EXPECT_EQ(reinterpret_cast<drvuni::LabelSettings*>(record.data())->textMode, 0u);
    r->Release();
}

TEST_F(Com, FilterGraphicsGoesToTheSpoolBuffer) {
    IPrintOemUni2* r = Renderer();
    BYTE bytes[] = {1, 2, 3, 4, 5};
    EXPECT_EQ(r->FilterGraphics(nullptr, bytes, 5), S_FALSE);   // no host yet
    unisim::HostInterface host;
    ASSERT_EQ(r->PublishDriverInterface(&host), S_OK);
    DEVOBJ dev = {};
    EXPECT_EQ(r->FilterGraphics(&dev, bytes, 5), S_OK);
    host.set_spool_limit(3);
    EXPECT_EQ(r->FilterGraphics(&dev, bytes, 5), S_FALSE);
    EXPECT_EQ(host.spooled(), (std::vector<uint8_t>{1, 2, 3, 4, 5, 1, 2, 3}));
    r->Release();
}

// The result pointer tells the host what became of the band; the call itself always succeeds.
TEST_F(Com, ImageProcessingResult) {
    IPrintOemUni2* r = Renderer();
    std::vector<uint8_t> record(164, 0);
    drvuni::WriteDefaults(record.data());
    reinterpret_cast<drvuni::LabelSettings*>(record.data())->textMode = 1;
    DEVOBJ dev = {};
    dev.pOEMDM = record.data();
    std::vector<uint8_t> bits(8, 0);
    BITMAPINFOHEADER h = {};
    h.biSize = sizeof h;
    h.biWidth = 8;
    h.biHeight = 8;
    h.biSizeImage = 8;
    IPPARAMS ip = {};
    PBYTE result = nullptr;
    EXPECT_EQ(r->ImageProcessing(&dev, bits.data(), &h, nullptr, 0, &ip, &result), S_OK);
    EXPECT_EQ(result, reinterpret_cast<PBYTE>(1));   // text mode: dropped

    result = reinterpret_cast<PBYTE>(1);
    EXPECT_EQ(r->ImageProcessing(nullptr, bits.data(), &h, nullptr, 0, &ip, &result), S_OK);
    EXPECT_EQ(result, nullptr);
    result = reinterpret_cast<PBYTE>(1);
    DEVOBJ noSettings = {};
    EXPECT_EQ(r->ImageProcessing(&noSettings, bits.data(), &h, nullptr, 0, &ip, &result), S_OK);
    EXPECT_EQ(result, nullptr);
    result = reinterpret_cast<PBYTE>(1);
    EXPECT_EQ(r->ImageProcessing(&dev, bits.data(), nullptr, nullptr, 0, &ip, &result), S_OK);
    EXPECT_EQ(result, nullptr);
    EXPECT_EQ(r->ImageProcessing(&dev, bits.data(), &h, nullptr, 0, &ip, nullptr), S_OK);
    r->Release();
}
