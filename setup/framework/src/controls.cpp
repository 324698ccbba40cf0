#include "framework/controls.h"

namespace fw {

std::wstring CListBox::GetText(int index) const {
    const LRESULT n = SendMessage(LB_GETTEXTLEN, static_cast<WPARAM>(index));
    if (n == LB_ERR || n < 0) return {};
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    const LRESULT got = SendMessage(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(got == LB_ERR || got < 0 ? 0 : static_cast<size_t>(got));
    return text;
}

}  // namespace fw
