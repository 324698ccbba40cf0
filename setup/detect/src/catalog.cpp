#include "detect/catalog.h"

#include "platform/text.h"

namespace detect {
using namespace plat;

std::u16string CIniReader::ReadString(const std::u16string& section, const std::u16string& key) const {
    char16_t value[kValueUnits] = {};
    p_.files.GetPrivateProfileStringW(section.c_str(), key.c_str(), u"", value, kValueUnits, path_.c_str());
    return FromBuffer(value, kValueUnits);
}

CPrinterCatalog::CPrinterCatalog(const Platform& p) : p_(p) {
    char16_t module[MAX_PATH] = {};
    DWORD n = p.sys.GetModuleFileNameW(module, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;   // a cut path would name another folder
    std::u16string folder(module, n);
    size_t cut = folder.rfind(u'\\');
    if (cut == std::u16string::npos) return;
    path_ = folder.substr(0, cut + 1) + u"PrinterInfo.ini";
}

size_t CPrinterCatalog::ReadModels(const std::u16string& section, std::vector<std::u16string>& table) const {
    table.clear();
    // The count as the system reads it: leading digits, and -1 for "-1", which gives no models.
    int counts = static_cast<int>(p_.files.GetPrivateProfileIntW(section.c_str(), u"Counts", 0, path_.c_str()));
    for (int i = 0; i < counts && i < static_cast<int>(kMaxModels); ++i) {
        char16_t name[kModelNameUnits] = {};
        p_.files.GetPrivateProfileStringW(section.c_str(), ToDecimal(i).c_str(), u"", name, kModelNameUnits,
                                          path_.c_str());
        table.push_back(FromBuffer(name, kModelNameUnits));
    }
    return table.size();
}

}  // namespace detect
