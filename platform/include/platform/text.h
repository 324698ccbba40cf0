// Small text helpers shared by Setup's code above the boundary and by the simulation.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace plat {

// Bytes in the system's ANSI code page to UTF-16, and back, through the platform's own
// conversion (CP_ACP), so that the answer is the running system's.
std::u16string AnsiToText(ISystem& sys, const char* bytes, size_t count);
std::string TextToAnsi(ISystem& sys, std::u16string_view text);

// UTF-8 for logs, transcripts and tests.
std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);

// Case mapping of the file-name rules: ASCII letters only, as the lists hold ASCII names.
std::u16string ToUpper(std::u16string_view text);
inline bool Contains(std::u16string_view text, std::u16string_view part) {
    return text.find(part) != std::u16string_view::npos;
}

std::u16string ToDecimal(long long value);
std::u16string ToHex(unsigned long long value);   // lower case, no prefix, as %x

// Whether text and its terminating zero fit a buffer of `units` code units.
inline bool FitsBuffer(std::u16string_view text, size_t units) { return text.size() < units; }

// A zero-terminated UTF-16 text from a fixed buffer, never reading past `units`.
std::u16string FromBuffer(const char16_t* buffer, size_t units);

}  // namespace plat
