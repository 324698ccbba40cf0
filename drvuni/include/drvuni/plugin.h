// The COM shell: LabelRenderer and its factory, the hooks and the per-device hook table.
//
// Holds: DeviceHookTable, kHookCount, HookList, LiveObjectCount, ServerLockCount.
#pragma once

#include "drvuni/unidrv.h"

namespace drvuni {

// One per enabled device, from EnablePDEV to DisablePDEV: the host's own handler for each hooked
// operation, or null where the host listed none.
struct DeviceHookTable {
    uni::PFN_DrvTextOut textOut;
    uni::PFN_DrvStartDoc startDoc;
    uni::PFN_DrvEndDoc endDoc;
    uni::PFN_DrvStartPage startPage;
    uni::PFN_DrvSendPage sendPage;
};

constexpr ULONG kHookCount = 5;
constexpr ULONG kDriverVersion = 0x10000;

}  // namespace drvuni
