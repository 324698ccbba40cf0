#include "engine/fonts.h"

#include "engine/driver_copy.h"
#include "engine/package.h"
#include "platform/text.h"

namespace engine {
namespace {

std::u16string Extension(const std::u16string& name) {
    size_t dot = name.rfind(u'.');
    return dot == std::u16string::npos ? std::u16string() : plat::ToUpper(name.substr(dot + 1));
}

// The value name Windows' own font installation gives a file, from its title and kind.
std::u16string FontValueName(const std::u16string& fileName) {
    std::u16string ext = Extension(fileName);
    std::u16string title = fileName.substr(0, fileName.rfind(u'.'));
    if (ext == u"TTF" || ext == u"TTC") return title + u" (TrueType)";
    if (ext == u"OTF" || ext == u"OTC") return title + u" (OpenType)";
    return title;
}

// Makes one font known to Windows: its value under the Fonts key (which Windows loads at every
// start) and AddFontResourceW for this session. Failures are logged.
bool RegisterFont(const Env& env, plat::HKEY fontsKey, const std::u16string& fileName, const std::u16string& path) {
    std::u16string value = FontValueName(fileName);
    const auto* data = reinterpret_cast<const plat::BYTE*>(fileName.c_str());
    plat::LONG status = env.p.registry.RegSetValueExW(fontsKey, value.c_str(), plat::REG_SZ, data,
                                                      static_cast<plat::DWORD>((fileName.size() + 1) * 2));
    if (status != plat::ERROR_SUCCESS) {
        env.p.sys.SetLastError(static_cast<plat::DWORD>(status));
        env.log.Write(u"RegSetValueEx " + value, true);
        return false;
    }
    if (env.p.user.AddFontResourceW(path.c_str()) == 0) {
        env.log.Write(u"AddFontResource " + path, true);
        return false;
    }
    return true;
}

bool IsRegistered(const Env& env, plat::HKEY fontsKey, const std::u16string& fileName) {
    plat::DWORD type = 0, size = 0;
    return env.p.registry.RegQueryValueExW(fontsKey, FontValueName(fileName).c_str(), &type, nullptr, &size) ==
           plat::ERROR_SUCCESS;
}

}  // namespace

bool IsFontFile(const std::u16string& name) {
    std::u16string ext = Extension(name);
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

    // Windows uses only the fonts it has registered. The 64-bit view: on 64-bit Windows that is
    // the list the system reads, whichever program writes it.
    plat::HKEY fontsKey = nullptr;
    if (env.p.registry.RegOpenKeyExW(plat::HKEY_LOCAL_MACHINE, kFontsKey, 0,
                                     plat::KEY_READ | plat::KEY_SET_VALUE | plat::KEY_WOW64_64KEY,
                                     &fontsKey) != plat::ERROR_SUCCESS)
        fontsKey = nullptr;
    bool added = false;
    FolderCopyHooks hooks;
    hooks.accept = IsFontFile;   // desktop.ini and the like stay behind
    hooks.placed = [&](const std::u16string& name, const std::u16string& path, bool written) {
        // An identical font already installed and registered is left alone.
        if (!fontsKey || (!written && IsRegistered(env, fontsKey, name))) return;
        added |= RegisterFont(env, fontsKey, name, path);
    };
    bool copied = CopyFolderFlat(env, source, target, hooks);
    if (fontsKey) env.p.registry.RegCloseKey(fontsKey);
    if (added) {
        plat::ULONG_PTR result = 0;
        env.p.user.SendMessageTimeoutW(plat::HWND_BROADCAST, plat::WM_FONTCHANGE, 0, 0, plat::SMTO_NORMAL, 1000,
                                       &result);
    }
    return copied;
}

}  // namespace engine
