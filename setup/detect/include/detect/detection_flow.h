// What the wizard's model page and port page run. The flow is written once against IListBox,
// so that the wizard's list boxes and a test's PlainList run the same code.
//
//   IListBox            the list operations the flow uses (those of a Windows list box)
//   PlainList           IListBox over a vector, for tests and the scenario runner
//   DetectPrinterModel  model page: filter, device ID (USB, then parallel), catalogue, preselection
//   FillPortList        port page: the spooler's ports, the USB port (or an LPT port) preselected
#pragma once

#include <string>
#include <vector>

#include "detect/catalog.h"
#include "detect/usb_port.h"
#include "engine/env.h"

namespace detect {

inline constexpr const char16_t* kBrandPrefix = u"Halvorin ";
inline constexpr const char16_t* kNoticeCaption = u"安装提示";

class IListBox {
public:
    virtual ~IListBox() = default;
    virtual void ResetContent() = 0;
    virtual int AddString(const std::u16string& text) = 0;   // at the end; the new item's index
    virtual int InsertString(int index, const std::u16string& text) = 0;
    virtual int GetCount() const = 0;
    virtual std::u16string GetText(int index) const = 0;
    virtual void SetCurSel(int index) = 0;   // -1 or an index out of range: no selection
    virtual int GetCurSel() const = 0;       // -1: none
};

class PlainList final : public IListBox {
public:
    void ResetContent() override;
    int AddString(const std::u16string& text) override;
    int InsertString(int index, const std::u16string& text) override;
    int GetCount() const override { return static_cast<int>(items.size()); }
    std::u16string GetText(int index) const override;
    void SetCurSel(int index) override;
    int GetCurSel() const override { return selection; }

    std::vector<std::u16string> items;
    int selection = -1;
};

// The model page. Sets detectedModel (empty when no printer answered) and fills modelList with
// "Halvorin " + each non-empty catalogue name, the one detectedModel contains (the last such)
// selected, else the first. A catalogue that cannot be opened shows error code "1" and sends
// WM_CLOSE to `wizard`; the list then stays empty.
void DetectPrinterModel(const engine::Env& env, DetectionState& state, const CPrinterCatalog& catalog,
                        plat::HWND wizard, IListBox& modelList, std::u16string& detectedModel);

// The port page. True: the USB port number was found (selected when listed), or there is
// neither a USB printer nor an LPT port. False: an LPT port was selected for want of a USB
// printer, or the spooler's port list could not be read (a notice owned by `wizard` says so).
bool FillPortList(const engine::Env& env, const DetectionState& state, plat::HWND wizard, IListBox& portList);

}  // namespace detect
