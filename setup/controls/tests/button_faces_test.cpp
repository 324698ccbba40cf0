#include "controls/button_faces.h"

#include <gtest/gtest.h>

namespace controls {
namespace {

TEST(ButtonFacesTest, EveryNameHasItsPair) {
    struct Case {
        std::u16string name;
        int normal, hover;
    };
    const Case cases[] = {{u"上一步", 137, 168}, {u"下一步", 138, 169}, {u"取消", 139, 170},
                          {u"完成", 143, 172},   {u"确认", 173, 167},   {u"是", 163, 175},
                          {u"否", 162, 174}};
    for (const Case& c : cases) {
        const FacePair* p = FindFacePair(c.name);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->normal, c.normal);
        EXPECT_EQ(p->hover, c.hover);
    }
}

TEST(ButtonFacesTest, OnlyWholeNamesMatch) {
    for (const std::u16string name : {u"", u"下一步 ", u"下一", u"是否", u"Cancel", u"取消取消"})
        EXPECT_EQ(FindFacePair(name), nullptr);
}

}  // namespace
}  // namespace controls
