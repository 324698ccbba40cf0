#include "platform/text.h"

#include <vector>

namespace plat {

std::u16string AnsiToText(ISystem& sys, const char* bytes, size_t count) {
    if (count == 0) return {};
    int n = sys.MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(count), nullptr, 0);
    if (n <= 0) return {};
    std::u16string out(static_cast<size_t>(n), u'\0');
    n = sys.MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(count), out.data(), n);
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return out;
}

std::string TextToAnsi(ISystem& sys, std::u16string_view text) {
    if (text.empty()) return {};
    int n = sys.WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                    nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<size_t>(n), '\0');
    n = sys.WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                                nullptr);
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return out;
}

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;   // a lone surrogate
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string FromUtf8(std::string_view text) {
    std::u16string out;
    for (size_t i = 0; i < text.size();) {
        auto b = static_cast<unsigned char>(text[i]);
        uint32_t c = 0xFFFD;
        size_t len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + len > text.size()) {
            ++i;
        } else {
            c = len == 1 ? b : b & (0x7F >> len);
            bool ok = true;
            for (size_t k = 1; k < len; ++k) {
                auto t = static_cast<unsigned char>(text[i + k]);
                if ((t >> 6) != 2) ok = false;
                c = (c << 6) | (t & 0x3F);
            }
            if (!ok) c = 0xFFFD;
            i += ok ? len : 1;
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

std::u16string ToUpper(std::u16string_view text) {
    std::u16string out(text);
    for (auto& c : out)
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    return out;
}

std::u16string ToDecimal(long long value) {
    std::string s = std::to_string(value);
    return std::u16string(s.begin(), s.end());
}

std::u16string ToHex(unsigned long long value) {
    static const char16_t digits[] = u"0123456789abcdef";
    std::u16string out;
    do {
        out.insert(out.begin(), digits[value & 0xF]);
        value >>= 4;
    } while (value);
    return out;
}

std::u16string FromBuffer(const char16_t* buffer, size_t units) {
    size_t n = 0;
    while (n < units && buffer[n]) ++n;
    return std::u16string(buffer, n);
}

}  // namespace plat
