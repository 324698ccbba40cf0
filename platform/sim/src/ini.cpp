// INI (private profile) reads of the simulated machine, with the profile functions' rules:
// - the file is UTF-16 when it starts with a byte-order mark (either order), UTF-8 after the
//   UTF-8 mark, otherwise text in the ANSI code page;
// - lines end at CR or LF; blanks around lines, names and values are dropped;
// - "[name]" runs to the last "]" of the line, blanks inside the brackets dropped ("[ name ]" is
//   section "name"); keys before any section belong to the section of the empty name;
// - sections and keys compare without regard to letter case; of duplicates the first counts
//   (later sections of the same name are never searched);
// - a value enclosed in matching single or double quotes loses them;
// - values are cut to the caller's buffer; integers are read like RtlUnicodeStringToInteger
//   with base 0 from the first 29 characters, and an empty value gives the default.
// Checked against Wine by setup/detect/tests/ini_agreement_test.cpp.
#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "impl.h"
#include "platform/text.h"

namespace sim {
using namespace plat;

namespace {

// The profile code's white space: ASCII blanks and Ctrl-Z, the old end of file; other Unicode
// spaces (the ideographic one of Chinese text) are kept.
bool IsProfileSpace(char16_t c) { return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x1A; }

char16_t Fold(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

// Names and values end at a NUL, as the C strings they become.
std::u16string CString(std::u16string_view s) { return std::u16string(s.substr(0, s.find(u'\0'))); }

std::u16string_view Trim(std::u16string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && IsProfileSpace(s[b])) ++b;
    while (e > b && IsProfileSpace(s[e - 1])) --e;
    return s.substr(b, e - b);
}

bool SameName(const std::u16string& stored, std::u16string_view wanted) {
    if (stored.size() != wanted.size()) return false;
    for (size_t i = 0; i < stored.size(); ++i)
        if (Fold(stored[i]) != Fold(wanted[i])) return false;
    return true;
}

struct Key {
    std::u16string name;
    std::optional<std::u16string> value;   // none: a line without "="
};
struct Section {
    std::u16string name;   // the first one, of the empty name, holds the keys before any header
    std::vector<Key> keys;
};

std::vector<Section> Parse(std::u16string_view text) {
    std::vector<Section> sections(1);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = pos;
        while (end < text.size() && text[end] != u'\n' && text[end] != u'\r') ++end;
        std::u16string_view line = Trim(text.substr(pos, end - pos));
        while (end < text.size() && (text[end] == u'\n' || text[end] == u'\r')) ++end;
        pos = end;
        if (line.empty()) continue;
        if (line[0] == u'[') {
            size_t close = line.rfind(u']');
            if (close != std::u16string_view::npos && close > 0) {
                Section s;
                s.name = CString(Trim(line.substr(1, close - 1)));
                sections.push_back(std::move(s));
                continue;
            }
            // No "]": an ordinary line of the current section.
        }
        Key key;
        size_t eq = line.find(u'=');
        if (eq == std::u16string_view::npos) {
            key.name = CString(line);
        } else {
            key.name = CString(Trim(line.substr(0, eq)));
            key.value = CString(Trim(line.substr(eq + 1)));
        }
        auto& keys = sections.back().keys;
        // A line with an empty name right after another such line adds nothing.
        if (!key.name.empty() || keys.empty() || !keys.back().name.empty()) keys.push_back(std::move(key));
    }
    return sections;
}

const std::optional<std::u16string>* FindValue(const std::vector<Section>& sections, std::u16string_view section,
                                               std::u16string_view key) {
    section = Trim(section);
    key = Trim(key);
    for (const auto& s : sections) {
        if (!SameName(s.name, section)) continue;
        for (const auto& k : s.keys)
            if (SameName(k.name, key)) return &k.value;
        return nullptr;   // only the first section of a name is searched
    }
    return nullptr;
}

// lstrcpyn into the caller's buffer, the quotes dropped as the profile functions do.
DWORD CopyValue(std::u16string_view value, bool stripQuotes, char16_t* buffer, DWORD size) {
    bool quoted = false;
    if (stripQuotes && value.size() >= 2 && (value[0] == u'"' || value[0] == u'\'') &&
        value.back() == value[0]) {
        quoted = true;
        value.remove_prefix(1);   // the closing quote goes below, when it was copied
    }
    size_t n = std::min<size_t>(value.size(), size - 1);
    std::copy_n(value.begin(), n, buffer);
    buffer[n] = 0;
    // The closing quote is dropped whenever the buffer reached at least up to it; a buffer that
    // cut the value exactly before the quote loses the last copied character instead.
    if (quoted && size >= value.size() && n > 0) buffer[--n] = 0;
    return static_cast<DWORD>(n);
}

std::u16string Decode(ISystem& sys, DWORD codePage, const std::string& bytes) {
    if (bytes.empty()) return {};
    int n = sys.MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (n <= 0) return {};
    std::u16string out(static_cast<size_t>(n), u'\0');
    n = sys.MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return out;
}

// The file's text: UTF-16 after a byte-order mark of either order, UTF-8 after its mark,
// otherwise the ANSI code page.
std::u16string FileText(ISystem& sys, const std::string& bytes) {
    auto starts = [&](const char* mark, size_t n) { return bytes.size() >= n && bytes.compare(0, n, mark, n) == 0; };
    if (starts("\xEF\xBB\xBF", 3)) return Decode(sys, 65001, bytes.substr(3));
    if (!starts("\xFF\xFE", 2) && !starts("\xFE\xFF", 2)) return Decode(sys, CP_ACP, bytes);
    bool big = bytes[0] == '\xFE';
    std::u16string t;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {   // an odd last byte is no character
        auto lo = static_cast<unsigned char>(bytes[i + (big ? 1 : 0)]);
        auto hi = static_cast<unsigned char>(bytes[i + (big ? 0 : 1)]);
        t += static_cast<char16_t>(lo | (hi << 8));
    }
    return t;
}

// Parsed files by host path, reused while their bytes stay the same (as the system caches
// them); tests read large catalogues key by key.
std::shared_ptr<const std::vector<Section>> Parsed(ISystem& sys, const std::string& hostPath, std::string bytes) {
    struct Entry {
        std::string bytes;
        std::shared_ptr<const std::vector<Section>> sections;
    };
    static std::mutex mutex;
    static std::map<std::string, Entry> cache;
    {
        std::lock_guard<std::mutex> lock(mutex);
        auto it = cache.find(hostPath);
        if (it != cache.end() && it->second.bytes == bytes) return it->second.sections;
    }
    auto sections = std::make_shared<const std::vector<Section>>(Parse(FileText(sys, bytes)));
    std::lock_guard<std::mutex> lock(mutex);
    if (cache.size() >= 32) cache.clear();
    cache[hostPath] = Entry{std::move(bytes), sections};
    return sections;
}

}  // namespace

DWORD Machine::GetPrivateProfileStringW(const char16_t* section, const char16_t* key, const char16_t* defaultValue,
                                        char16_t* buffer, DWORD size, const char16_t* file) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!buffer || size == 0) return 0;
    buffer[0] = 0;
    std::u16string def = Str(defaultValue);
    while (!def.empty() && def.back() == u' ') def.pop_back();   // the default loses its trailing blanks
    // Listing sections or keys (a null section or key) is not used by Setup: nothing listed.
    if (!section || !key) return 0;

    std::shared_ptr<const std::vector<Section>> sections;
    auto r = Resolve(file);
    std::error_code ec;
    if (!FaultCode("GetPrivateProfileStringW") && r.ok && std::filesystem::is_regular_file(r.host, ec)) {
        std::ifstream in(r.host, std::ios::binary | std::ios::ate);
        std::string bytes(static_cast<size_t>(std::max<std::streamoff>(in.tellg(), 0)), '\0');
        in.seekg(0);
        in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        bytes.resize(static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0)));
        sections = Parsed(*this, r.host.string() + "|" + std::to_string(system.codePage), std::move(bytes));
    }
    if (sections) {
        const std::optional<std::u16string>* value = FindValue(*sections, section, key);
        if (value && *value) return CopyValue(**value, true, buffer, size);
        return CopyValue(def, true, buffer, size);
    }
    // No file: the default as given, quotes and all.
    return CopyValue(def, false, buffer, size);
}

unsigned Machine::GetPrivateProfileIntW(const char16_t* section, const char16_t* key, int defaultValue,
                                        const char16_t* file) {
    char16_t buffer[30];
    if (GetPrivateProfileStringW(section, key, u"", buffer, 30, file) == 0) return static_cast<unsigned>(defaultValue);
    const char16_t* s = buffer;
    while (*s && *s <= u' ') ++s;
    bool minus = false;
    if (*s == u'+' || *s == u'-') minus = *s++ == u'-';
    unsigned base = 10;
    if (s[0] == u'0' && s[1] != 0) {
        if (s[1] == u'b') base = 2;
        if (s[1] == u'o') base = 8;
        if (s[1] == u'x') base = 16;
        if (base != 10) s += 2;
    }
    uint32_t total = 0;   // wraps like the system's 32-bit conversion
    for (; *s; ++s) {
        char16_t c = *s;
        unsigned digit = c >= u'0' && c <= u'9'   ? c - u'0'
                         : c >= u'A' && c <= u'Z' ? c - u'A' + 10u
                         : c >= u'a' && c <= u'z' ? c - u'a' + 10u
                                                  : 99u;
        if (digit >= base) break;
        total = total * base + digit;
    }
    return minus ? 0u - total : total;
}

}  // namespace sim
