#include "dialogs/error_layout.h"

namespace dialogs {

const char16_t kErrorCodeLabel[] = u"错误代码：";
const char16_t kErrorAdviceClose[] = u"请关闭所有应用程序并重启系统后再次安装。";
const char16_t kErrorAdviceVendor[] = u"如错误情况依然存在，请联系设备厂家获取技术支持。";

ErrorLayout LayoutErrorText(const std::u16string& errorText) {
    ErrorLayout out;
    const std::size_t n = errorText.size();
    const std::u16string label = kErrorCodeLabel;
    int y = 139;
    if (n <= kErrorLineWidth) {
        out.runs.push_back({50, 118, label + errorText});
    } else {
        out.runs.push_back({50, 118, label + errorText.substr(0, kErrorLineWidth)});
        const std::size_t full = n / kErrorLineWidth;
        for (std::size_t k = 1; k < full; ++k) {
            out.runs.push_back({115, y, errorText.substr(kErrorLineWidth * k, kErrorLineWidth)});
            y += 21;
        }
        if (n % kErrorLineWidth != 0) {
            out.runs.push_back({110, y, errorText.substr(kErrorLineWidth * full)});
            y += 21;
        }
        out.moveOk = true;
        out.okY = y + 60;
    }
    out.runs.push_back({50, y + 10, kErrorAdviceClose});
    out.runs.push_back({50, y + 30, kErrorAdviceVendor});
    return out;
}

}  // namespace dialogs
