#include "detect/detection_flow.h"

#include <cstdint>
#include <cstdio>

#include "detect/device_id.h"
#include "detect/parallel_port.h"
#include "platform/text.h"

namespace detect {
using namespace plat;

void PlainList::ResetContent() {
    items.clear();
    selection = -1;
}

int PlainList::AddString(const std::u16string& text) {
    items.push_back(text);
    return static_cast<int>(items.size()) - 1;
}

int PlainList::InsertString(int index, const std::u16string& text) {
    if (index < 0 || index > GetCount()) index = GetCount();   // -1 appends, as in a list box
    items.insert(items.begin() + index, text);
    if (selection >= index) ++selection;
    return index;
}

std::u16string PlainList::GetText(int index) const {
    return index >= 0 && index < GetCount() ? items[static_cast<size_t>(index)] : std::u16string();
}

void PlainList::SetCurSel(int index) { selection = index >= 0 && index < GetCount() ? index : -1; }

namespace {

// The index of the first item whose text contains part, or -1.
int FindContaining(const IListBox& list, std::u16string_view part) {
    for (int i = 0; i < list.GetCount(); ++i)
        if (Contains(list.GetText(i), part)) return i;
    return -1;
}

// The names of a level-1 port list, read only inside the buffer the spooler filled.
std::vector<std::u16string> PortNames(const BYTE* buffer, size_t size, DWORD returned) {
    std::vector<std::u16string> names;
    size_t fit = size / sizeof(PORT_INFO_1W);
    const auto* records = reinterpret_cast<const PORT_INFO_1W*>(buffer);
    for (size_t i = 0; i < returned && i < fit; ++i) {
        const char16_t* name = records[i].pName;
        auto at = reinterpret_cast<uintptr_t>(name), begin = reinterpret_cast<uintptr_t>(buffer);
        if (name && at >= begin && at < begin + size)
            names.push_back(FromBuffer(name, (begin + size - at) / sizeof(char16_t)));
        else
            names.push_back(name ? std::u16string(name) : std::u16string());
    }
    return names;
}

}  // namespace

void DetectPrinterModel(const engine::Env& env, DetectionState& state, const CPrinterCatalog& catalog, HWND wizard,
                        IListBox& modelList, std::u16string& detectedModel) {
    const Platform& p = env.p;
    CIniReader ini(p);
    ini.SetPath(catalog.path());
    std::u16string vid = ini.ReadString(u"VID_PID", u"VID");
    std::u16string pid = ini.ReadString(u"VID_PID", u"PID");
    if (!vid.empty() || !pid.empty()) state.g_usbIdFilter = vid + u"&" + pid;

    modelList.ResetContent();

    std::u16string model, manufacturer;
    ReadUsbPrinterModel(p, model, manufacturer);
    if (model.empty()) {
        HANDLE port = OpenParallelPort(env, u"LPT");
        if (port != INVALID_HANDLE_VALUE) {
            std::u16string parallelModel, parallelMaker;
            if (ReadParallelPrinterModel(p, port, parallelModel, parallelMaker) == 0) model = parallelModel;
            p.files.CloseHandle(port);
        }
    }
    detectedModel = model;

    HANDLE file = p.files.CreateFileW(catalog.path().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
    if (file == INVALID_HANDLE_VALUE || file == nullptr) {
        env.errors.ShowErrorCode(u"1");
        p.user.SendMessageW(wizard, WM_CLOSE, 0, 0);
        return;
    }
    p.files.CloseHandle(file);

    std::vector<std::u16string> table;
    size_t n = catalog.ReadModels(kModelSection, table);
    int chosen = -1;
    for (size_t i = 0; i < n; ++i) {
        const std::u16string& name = table[i];
        if (name.empty()) continue;
        int item = modelList.AddString(kBrandPrefix + name);
        if (Contains(detectedModel, name)) chosen = item;   // a later match wins
    }
    modelList.SetCurSel(chosen >= 0 ? chosen : 0);
}

bool FillPortList(const engine::Env& env, const DetectionState& state, HWND wizard, IListBox& portList) {
    const Platform& p = env.p;
    portList.ResetContent();

    DWORD needed = 0, returned = 0;
    if (p.spooler.EnumPortsW(nullptr, 1, nullptr, 0, &needed, &returned) ||
        p.sys.GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        p.user.MessageBoxW(wizard, u"无法查找当前设备端口列表!", kNoticeCaption, MB_ICONINFORMATION);
        return false;
    }
    std::vector<uint64_t> storage((needed + 7) / 8, 0);   // zero-filled and aligned for the records
    auto* buffer = reinterpret_cast<BYTE*>(storage.data());
    if (!p.spooler.EnumPortsW(nullptr, 1, buffer, needed, &needed, &returned)) {
        p.user.MessageBoxW(wizard, u"枚举当前设备端口失败!", kNoticeCaption, MB_ICONINFORMATION);
        return false;
    }
    std::vector<std::u16string> names = PortNames(buffer, storage.size() * 8, returned);
    for (size_t i = 0; i < names.size(); ++i) portList.InsertString(static_cast<int>(i), names[i]);

    DWORD number = GetUsbPortNumber(p, state, wizard);
    if (number != 0) {
        char target[16];
        std::snprintf(target, sizeof target, "USB%03u", static_cast<unsigned>(number));
        int item = FindContaining(portList, FromUtf8(target));
        if (item >= 0) portList.SetCurSel(item);
        return true;
    }
    int item = FindContaining(portList, u"LPT");
    if (item < 0) return true;
    portList.SetCurSel(item);
    return false;
}

}  // namespace detect
