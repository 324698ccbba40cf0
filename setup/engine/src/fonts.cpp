#include "engine/fonts.h"

#include "engine/driver_copy.h"
#include "engine/package.h"
#include "platform/text.h"

namespace engine {

bool InstallFonts(const Env& env) {
    std::u16string program = ProgramFolder(env.p);
    if (program.empty()) return false;
    char16_t fonts[plat::MAX_PATH] = {};
    if (!env.p.sys.SHGetSpecialFolderPathW(nullptr, fonts, plat::CSIDL_FONTS, 0)) return false;
    std::u16string source = program + u"字体\\";
    std::u16string target = plat::FromBuffer(fonts, plat::MAX_PATH) + u"\\";
    if (!plat::FitsBuffer(source, kPathUnits) || !plat::FitsBuffer(target, kPathUnits)) return false;
    return CopyFolderFlat(env, source, target);
}

}  // namespace engine
