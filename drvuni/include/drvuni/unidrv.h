// What the plug-in sees of its host: COM basics, the Unidrv host interface, the plug-in interface
// it implements, and the host records it reads. Layouts match 32- and 64-bit Windows; on other
// systems the Windows base types are declared here so that the plug-in compiles and runs natively.
//
// Holds: UNI_STDCALL, the Windows base types (non-Windows), uni::IUnknown, uni::IClassFactory,
// uni::IPrintOemDriverUni, uni::IPrintOemUni2, DEVOBJ, SURFOBJ, STROBJ, DRVFN, DRVENABLEDATA,
// IPPARAMS, OEMDMPARAM, the DDI hook signatures, the identifiers and the two module exports.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#else
// Sizes as on Windows (LLP64): LONG and ULONG are 32 bits, WCHAR is a UTF-16 unit.
using BYTE = uint8_t;
using WORD = uint16_t;
using USHORT = uint16_t;
using DWORD = uint32_t;
using ULONG = uint32_t;
using LONG = int32_t;
using INT = int32_t;
using BOOL = int32_t;
using HRESULT = int32_t;
using WCHAR = char16_t;
using HANDLE = void*;
using PVOID = void*;
using PBYTE = BYTE*;
using PDWORD = DWORD*;
using PSTR = char*;
using PCSTR = const char*;
using LPWSTR = WCHAR*;
using SIZE_T = size_t;
using LONG_PTR = intptr_t;

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

struct POINT { LONG x, y; };
struct POINTL { LONG x, y; };
struct SIZEL { LONG cx, cy; };
struct RECTL { LONG left, top, right, bottom; };

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111u);
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
#endif

static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER layout");
static_assert(sizeof(GUID) == 16, "GUID layout");

// COM methods and DDI entry points are stdcall on 32-bit x86; the other ABIs have one convention.
#if defined(_WIN32) && defined(__i386__)
#define UNI_STDCALL __stdcall
#else
#define UNI_STDCALL
#endif

namespace uni {

// Identifiers are compared as four 32-bit words.
inline bool SameGuid(const GUID& a, const GUID& b) {
    uint32_t x[4], y[4];
    std::memcpy(x, &a, sizeof x);
    std::memcpy(y, &b, sizeof y);
    return x[0] == y[0] && x[1] == y[1] && x[2] == y[2] && x[3] == y[3];
}

inline constexpr GUID IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr GUID IID_IClassFactory{0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr GUID IID_IPrintOemDriverUni{0xD67EBBF1, 0x78BF, 0x11D1, {0x94, 0x80, 0x00, 0xA0, 0xC9, 0x06, 0x40, 0xB8}};
inline constexpr GUID IID_IPrintOemUni2{0xB91220AC, 0x15CC, 0x4E7A, {0xA2, 0x1E, 0x95, 0x91, 0xF3, 0x4D, 0x6F, 0x6C}};
inline constexpr GUID CLSID_UniRenderPlugin{0x6D6ABF26, 0x9F38, 0x11D1, {0x88, 0x2A, 0x00, 0xC0, 0x4F, 0xB9, 0x61, 0xEC}};

// ---- host records ----

struct DEVOBJ {
    DWORD dwSize;
    PVOID pdevOEM;      // the plug-in's DeviceHookTable, from EnablePDEV
    HANDLE hEngine;
    HANDLE hPrinter;    // where WritePrinter sends the label bytes
    HANDLE hOEM;
    PVOID pPublicDM;
    PVOID pOEMDM;       // the plug-in's LabelSettings
    PVOID pDrvProcs;
};
using PDEVOBJ = DEVOBJ*;

struct SURFOBJ {
    PVOID dhsurf;
    PVOID hsurf;
    PVOID dhpdev;       // the DEVOBJ in every hooked drawing operation
    PVOID hdev;
    SIZEL sizlBitmap;
    ULONG cjBits;
    PVOID pvBits;
    PVOID pvScan0;
    LONG lDelta;
    ULONG iUniq;
    ULONG iBitmapFormat;
    USHORT iType;
    USHORT fjBitmap;
};

struct GLYPHPOS;
struct STROBJ {
    ULONG cGlyphs;
    ULONG flAccel;
    ULONG ulCharInc;
    RECTL rclBkGround;
    GLYPHPOS* pgp;
    LPWSTR pwszOrg;
};

// Passed through untouched; the plug-in never looks inside.
struct FONTOBJ;
struct CLIPOBJ;
struct BRUSHOBJ;
struct GDIINFO;
struct DEVINFO;
struct UNIFONTOBJ;
struct FINVOCATION;
struct OEMMEMORYUSAGE;
using MIX = ULONG;
using HSURF = PVOID;
using HGLYPH = ULONG;

using PFN = LONG_PTR(UNI_STDCALL*)();

// Handlers travel as PFN and are cast back to their own type by index.
template <class F>
PFN ToPfn(F f) {
    return reinterpret_cast<PFN>(reinterpret_cast<void (*)()>(f));
}
template <class F>
F FromPfn(PFN f) {
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(f));
}
struct DRVFN {
    ULONG iFunc;
    PFN pfn;
};
struct DRVENABLEDATA {
    ULONG iDriverVersion;
    ULONG c;
    DRVFN* pdrvfn;
};

struct IPPARAMS {
    DWORD dwSize;
    POINT ptOffset;
    PSTR pHalftoneOption;
    BOOL bBanding;
    BOOL bBlankBand;
};

struct OEMDMPARAM {
    DWORD cbSize;
    PVOID pdriverobj;
    HANDLE hPrinter;
    HANDLE hModule;
    PVOID pPublicDMIn;
    PVOID pPublicDMOut;
    PVOID pOEMDMIn;
    PVOID pOEMDMOut;
    DWORD cbBufSize;
};

// Layout checks for both Windows ABIs (and the host build, which has the 64-bit one).
#if defined(__i386__) || defined(_M_IX86)
static_assert(sizeof(DEVOBJ) == 32 && offsetof(DEVOBJ, hPrinter) == 12 && offsetof(DEVOBJ, pOEMDM) == 24, "DEVOBJ");
static_assert(offsetof(SURFOBJ, dhpdev) == 8 && sizeof(SURFOBJ) == 52, "SURFOBJ");
static_assert(offsetof(STROBJ, rclBkGround) == 12 && offsetof(STROBJ, pwszOrg) == 32, "STROBJ");
static_assert(offsetof(IPPARAMS, bBlankBand) == 20, "IPPARAMS");
static_assert(offsetof(OEMDMPARAM, pOEMDMOut) == 28 && offsetof(OEMDMPARAM, cbBufSize) == 32, "OEMDMPARAM");
static_assert(sizeof(DRVFN) == 8 && offsetof(DRVENABLEDATA, pdrvfn) == 8, "DRVENABLEDATA");
#elif UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu
static_assert(sizeof(DEVOBJ) == 64 && offsetof(DEVOBJ, hPrinter) == 24 && offsetof(DEVOBJ, pOEMDM) == 48, "DEVOBJ");
static_assert(offsetof(SURFOBJ, dhpdev) == 16 && sizeof(SURFOBJ) == 80, "SURFOBJ");
static_assert(offsetof(STROBJ, rclBkGround) == 12 && offsetof(STROBJ, pwszOrg) == 40, "STROBJ");
static_assert(offsetof(IPPARAMS, bBlankBand) == 28, "IPPARAMS");
static_assert(offsetof(OEMDMPARAM, pOEMDMOut) == 56 && offsetof(OEMDMPARAM, cbBufSize) == 64, "OEMDMPARAM");
static_assert(sizeof(DRVFN) == 16 && offsetof(DRVENABLEDATA, pdrvfn) == 8, "DRVENABLEDATA");
#endif

// ---- DDI operations the plug-in hooks ----

constexpr ULONG INDEX_DrvTextOut = 23;
constexpr ULONG INDEX_DrvSendPage = 32;
constexpr ULONG INDEX_DrvStartPage = 33;
constexpr ULONG INDEX_DrvEndDoc = 34;
constexpr ULONG INDEX_DrvStartDoc = 35;

using PFN_DrvTextOut = BOOL(UNI_STDCALL*)(SURFOBJ*, STROBJ*, FONTOBJ*, CLIPOBJ*, RECTL* prclExtra,
                                          RECTL* prclOpaque, BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque,
                                          POINTL* pptlOrg, MIX mix);
using PFN_DrvStartDoc = BOOL(UNI_STDCALL*)(SURFOBJ*, LPWSTR pwszDocName, DWORD dwJobId);
using PFN_DrvEndDoc = BOOL(UNI_STDCALL*)(SURFOBJ*, ULONG fl);
using PFN_DrvStartPage = BOOL(UNI_STDCALL*)(SURFOBJ*);
using PFN_DrvSendPage = BOOL(UNI_STDCALL*)(SURFOBJ*);

// ---- COM interfaces (vtable order is the ABI) ----

struct IUnknown {
    virtual HRESULT UNI_STDCALL QueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG UNI_STDCALL AddRef() = 0;
    virtual ULONG UNI_STDCALL Release() = 0;
};

struct IClassFactory : IUnknown {
    virtual HRESULT UNI_STDCALL CreateInstance(IUnknown* outer, REFIID riid, void** ppv) = 0;
    virtual HRESULT UNI_STDCALL LockServer(BOOL lock) = 0;
};

// The host's helper interface. Only these slots are used; a real host has more after them.
struct IPrintOemDriverUni : IUnknown {
    virtual HRESULT UNI_STDCALL DrvGetDriverSetting(PVOID pdriverobj, PCSTR feature, PVOID output,
                                                    DWORD cbSize, PDWORD pcbNeeded,
                                                    PDWORD pdwOptionsReturned) = 0;
    virtual HRESULT UNI_STDCALL DrvWriteSpoolBuf(PDEVOBJ pdevobj, PVOID buffer, DWORD cbSize,
                                                 PDWORD pdwResult) = 0;
};

// The plug-in's interface, 27 slots.
struct IPrintOemUni2 : IUnknown {
    virtual HRESULT UNI_STDCALL GetInfo(DWORD mode, PVOID buffer, DWORD cbSize, PDWORD pcbNeeded) = 0;
    virtual HRESULT UNI_STDCALL DevMode(DWORD mode, OEMDMPARAM* param) = 0;
    virtual HRESULT UNI_STDCALL EnableDriver(DWORD driverVersion, DWORD cbSize, DRVENABLEDATA* ded) = 0;
    virtual HRESULT UNI_STDCALL DisableDriver() = 0;
    virtual HRESULT UNI_STDCALL EnablePDEV(PDEVOBJ pdevobj, LPWSTR printerName, ULONG cPatterns,
                                           HSURF* phsurfPatterns, ULONG cjGdiInfo, GDIINFO* gdiInfo,
                                           ULONG cjDevInfo, DEVINFO* devInfo, DRVENABLEDATA* ded,
                                           PVOID* pdevOEM) = 0;
    virtual HRESULT UNI_STDCALL DisablePDEV(PDEVOBJ pdevobj) = 0;
    virtual HRESULT UNI_STDCALL ResetPDEV(PDEVOBJ oldDev, PDEVOBJ newDev) = 0;
    virtual HRESULT UNI_STDCALL PublishDriverInterface(IUnknown* host) = 0;
    virtual HRESULT UNI_STDCALL GetImplementedMethod(PSTR methodName) = 0;
    virtual HRESULT UNI_STDCALL DriverDMS(PVOID devObj, PVOID buffer, DWORD cbSize, PDWORD pcbNeeded) = 0;
    virtual HRESULT UNI_STDCALL CommandCallback(PDEVOBJ pdevobj, DWORD callbackId, DWORD count,
                                                PDWORD params, INT* result) = 0;
    virtual HRESULT UNI_STDCALL ImageProcessing(PDEVOBJ pdevobj, PBYTE srcBitmap, BITMAPINFOHEADER* header,
                                                PBYTE colorTable, DWORD callbackId, IPPARAMS* ipParams,
                                                PBYTE* result) = 0;
    virtual HRESULT UNI_STDCALL FilterGraphics(PDEVOBJ pdevobj, PBYTE buffer, DWORD length) = 0;
    virtual HRESULT UNI_STDCALL Compression(PDEVOBJ pdevobj, PBYTE inBuf, PBYTE outBuf, DWORD inLen,
                                            DWORD outLen, INT* result) = 0;
    virtual HRESULT UNI_STDCALL HalftonePattern(PDEVOBJ pdevobj, PBYTE pattern, DWORD patternX,
                                                DWORD patternY, DWORD numPatterns, DWORD callbackId,
                                                PBYTE resource, DWORD resourceSize) = 0;
    virtual HRESULT UNI_STDCALL MemoryUsage(PDEVOBJ pdevobj, OEMMEMORYUSAGE* usage) = 0;
    virtual HRESULT UNI_STDCALL TTYGetInfo(PDEVOBJ pdevobj, DWORD infoIndex, PVOID output, DWORD cbSize,
                                           DWORD* pcbNeeded) = 0;
    virtual HRESULT UNI_STDCALL DownloadFontHeader(PDEVOBJ pdevobj, UNIFONTOBJ* font, DWORD* result) = 0;
    virtual HRESULT UNI_STDCALL DownloadCharGlyph(PDEVOBJ pdevobj, UNIFONTOBJ* font, HGLYPH glyph,
                                                  PDWORD width, DWORD* result) = 0;
    virtual HRESULT UNI_STDCALL TTDownloadMethod(PDEVOBJ pdevobj, UNIFONTOBJ* font, DWORD* result) = 0;
    virtual HRESULT UNI_STDCALL OutputCharStr(PDEVOBJ pdevobj, UNIFONTOBJ* font, DWORD type, DWORD count,
                                              PVOID glyph) = 0;
    virtual HRESULT UNI_STDCALL SendFontCmd(PDEVOBJ pdevobj, UNIFONTOBJ* font, FINVOCATION* invocation) = 0;
    virtual HRESULT UNI_STDCALL TextOutAsBitmap(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco,
                                                RECTL* prclExtra, RECTL* prclOpaque, BRUSHOBJ* pboFore,
                                                BRUSHOBJ* pboOpaque, POINTL* pptlOrg, MIX mix) = 0;
    virtual HRESULT UNI_STDCALL WritePrinter(PDEVOBJ pdevobj, PVOID buffer, DWORD cbSize, PDWORD pcbWritten) = 0;
};

constexpr DWORD OEMGI_GETSIGNATURE = 1;
constexpr DWORD OEMGI_GETVERSION = 3;
constexpr DWORD OEMDM_SIZE = 1;
constexpr DWORD OEMDM_DEFAULT = 2;
constexpr DWORD OEMDM_CONVERT = 3;
constexpr DWORD OEMDM_MERGE = 4;

}  // namespace uni

// The module's two exports.
extern "C" HRESULT UNI_STDCALL DllGetClassObject(REFCLSID clsid, REFIID iid, void** ppv);
extern "C" HRESULT UNI_STDCALL DllCanUnloadNow();
using PFN_DllGetClassObject = HRESULT(UNI_STDCALL*)(REFCLSID, REFIID, void**);
using PFN_DllCanUnloadNow = HRESULT(UNI_STDCALL*)();
