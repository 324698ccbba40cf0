#include "engine/fonts.h"

#include "engine/driver_copy.h"
#include "engine/package.h"
#include "platform/text.h"

namespace engine {

bool IsFontFile(const std::u16string& name) {
    size_t dot = name.rfind(u'.');
    if (dot == std::u16string::npos) return false;
    std::u16string ext = plat::ToUpper(name.substr(dot + 1));
    for (const char16_t* font : {u"TTF", u"TTC", u"OTF", u"OTC", u"FON", u"FNT", u"PFB", u"PFM"})
        if (ext == font) return true;
    return false;
}

bool InstallFonts(const Env& env) {
    std::u16string program = ProgramFolder(env.p);
    if (program.empty()) return false;
    char16_t fonts[plat::MAX_PATH] = {};
    if (!env.p.sys.SHGetSpecialFolderPathW(nullptr, fonts, plat::CSIDL_FONTS, 0)) return false;
    std::u16string source = program + u"字体\\";
    std::u16string target = plat::FromBuffer(fonts, plat::MAX_PATH) + u"\\";
    if (!plat::FitsBuffer(source, kPathUnits) || !plat::FitsBuffer(target, kPathUnits)) return false;
    return CopyFolderFlat(env, source, target, IsFontFile);   // desktop.ini and the like stay behind
}

}  // namespace engine
