#include "controls/button_faces.h"

#include <iterator>

namespace controls {

namespace {
const FacePair kFacePairs[] = {
    {u"上一步", 137, 168}, {u"下一步", 138, 169}, {u"取消", 139, 170}, {u"完成", 143, 172},
    {u"确认", 173, 167},   {u"是", 163, 175},     {u"否", 162, 174},
};
}  // namespace

const FacePair* FindFacePair(const std::u16string& name) {
    for (const FacePair& pair : kFacePairs)
        if (name == pair.name) return &pair;
    return nullptr;
}

}  // namespace controls
