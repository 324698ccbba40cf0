#include "engine/package.h"

#include "detect/sysinfo.h"
#include "platform/text.h"

namespace engine {
namespace {

struct FamilyLists {
    const char16_t* required;
    const char16_t* replace;
    const char16_t* dependent;
};

FamilyLists ListsOf(int family) {
    switch (family) {
        case 0:
            return {u"VT39Res.dll;STDNAMES.GPD;unidrv.hlp;unidrvui.dll;unidrv.dll;unires.dll;STDDTYPE.GDL;"
                    u"STDSCHEM.GDL;STDSCHMX.GDL;VT39Set.ini;VT39.dll;",
                    u"VT39Res.DLL;VT39Set.ini;VT39.dll;",
                    u"VT39Res.dll;STDNAMES.GPD;unires.dll;VT39Set.ini;VT39.dll;"};
        case 1:
            return {u"UNIDRV.DLL;UNIDRVUI.DLL;UNIDRV.HLP;UNIRES.DLL;STDNAMES.GPD;STDDTYPE.GDL;STDSCHEM.GDL;"
                    u"STDSCHMX.GDL;HVMPUI.dll;HVMPUNI.dll;HVMPdll.ini;Hv9res.dll;",
                    u"Hv9res.dll;HVPrndll.ini;HVPrnUni.dll;HVMPUNI.dll;",
                    u"stdnames.gpd;unires.dll;STDDTYPE.GDL;STDSCHEM.GDL;STDSCHMX.GDL;HVMPdll.ini;Hv9res.dll;"
                    u"HVMPUI.dll;HVMPUNI.dll;"};
        case 2:
            return {u"UNIDRV.DLL;UNIDRVUI.DLL;UNIDRV.HLP;UNIRES.DLL;STDNAMES.GPD;STDDTYPE.GDL;STDSCHEM.GDL;"
                    u"STDSCHMX.GDL;Hv9res.dll;",
                    u"Hv9res.dll;",
                    u"stdnames.gpd;unires.dll;STDDTYPE.GDL;STDSCHEM.GDL;STDSCHMX.GDL;Hv9res.dll;"};
        default:
            return {u"", u"", u""};
    }
}

}  // namespace

std::u16string ProgramFolder(const plat::Platform& p) {
    char16_t module[kPathUnits] = {};
    plat::DWORD n = p.sys.GetModuleFileNameW(module, kPathUnits);
    if (n == 0 || n >= kPathUnits) return {};   // a path that fills the buffer was cut
    std::u16string path(module, n);
    size_t cut = path.rfind(u'\\');
    return cut == std::u16string::npos ? std::u16string() : path.substr(0, cut + 1);
}

std::optional<std::u16string> GetDriverSourceDir(const plat::Platform& p, int family) {
    std::u16string folder = ProgramFolder(p);
    if (folder.empty()) return std::nullopt;
    folder += family == 0 ? u"VT39" : u"9Pin";
    folder += detect::IsNative64Bit(p) ? u"\\X64\\" : u"\\i386\\";
    if (!plat::FitsBuffer(folder, kPathUnits)) return std::nullopt;
    return folder;
}

std::optional<InfLocation> GetInfPath(const plat::Platform& p, int family) {
    auto folder = GetDriverSourceDir(p, family);
    if (!folder) return std::nullopt;
    InfLocation inf{*folder, *folder + (family == 0 ? u"VT39.inf" : u"9Pin.inf")};
    if (!plat::FitsBuffer(inf.path, kPathUnits)) return std::nullopt;
    return inf;
}

CopyLists GetCopyLists(int family, const std::u16string& dataFileName) {
    FamilyLists lists = ListsOf(family);
    return {lists.required + dataFileName + u";", lists.replace + dataFileName + u";"};
}

bool IsInList(const std::u16string& list, const std::u16string& fileName) {
    return plat::Contains(plat::ToUpper(list), plat::ToUpper(fileName));
}

std::optional<std::u16string> GetDependentFiles(int family) {
    std::u16string list = ListsOf(family).dependent;
    std::u16string multi;
    size_t start = 0;
    for (size_t semi; (semi = list.find(u';', start)) != std::u16string::npos; start = semi + 1) {
        multi += list.substr(start, semi - start);
        multi += u'\0';
    }
    multi += u'\0';
    if (multi.size() > kNameUnits) return std::nullopt;
    return multi;
}

}  // namespace engine
