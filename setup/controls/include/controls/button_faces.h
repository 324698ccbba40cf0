// The face pairs of CMyButton, chosen by the button's name.
#pragma once

#include <cstdint>
#include <string>

namespace controls {

struct FacePair {
    const char16_t* name;
    std::uint16_t normal;
    std::uint16_t hover;
};

// The pair whose name equals `name` exactly (case-sensitive), or null.
const FacePair* FindFacePair(const std::u16string& name);

}  // namespace controls
