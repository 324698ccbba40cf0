// Every picture, template and text resource of Setup, read back from a program built with them.
#include "controls/picture.h"
#include "wizard_res/resource.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

struct Size {
    int id, width, height;
};

// Every bitmap of the skin, normal and hover faces, at its stated size.
const Size kBitmaps[] = {
    {IDB_MODEL_CAPTION, 130, 37},   {IDB_BACK, 105, 28},          {IDB_NEXT, 105, 28},
    {IDB_CANCEL, 75, 29},           {IDB_FINISH, 75, 29},         {IDB_NO_USB_NOTICE, 419, 85},
    {IDB_USB_FOUND_NOTICE, 420, 50}, {IDB_SUMMARY_LABELS, 45, 51}, {IDB_SUMMARY_NOTE, 400, 52},
    {IDB_INSTALLING, 125, 25},      {IDB_CLOSE_CROSS, 20, 17},    {IDB_NO, 27, 27},
    {IDB_YES, 27, 27},              {IDB_QUIT_QUESTION, 119, 28}, {IDB_INSTALL_FAILED, 151, 45},
    {IDB_CONFIRM, 107, 36},         {IDB_BACK_HOVER, 105, 28},    {IDB_NEXT_HOVER, 105, 28},
    {IDB_CANCEL_HOVER, 75, 29},     {IDB_FINISH_HOVER, 75, 29},   {IDB_CONFIRM_HOVER, 107, 36},
    {IDB_YES_HOVER, 27, 27},        {IDB_NO_HOVER, 27, 27},
};

const Size kPngs[] = {{IDR_PNG_SLOGAN, 1146, 321}, {IDR_PNG_LOGO, 289, 111}};

std::vector<unsigned char> Bytes(int id, const wchar_t* type) {
    HMODULE self = ::GetModuleHandleW(nullptr);
    HRSRC r = ::FindResourceW(self, MAKEINTRESOURCEW(id), type);
    if (!r) return {};
    const auto* p = static_cast<const unsigned char*>(::LockResource(::LoadResource(self, r)));
    return std::vector<unsigned char>(p, p + ::SizeofResource(self, r));
}

std::uint32_t BigEndian(const unsigned char* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

TEST(ResourcesTest, BitmapsHaveTheirSizesAndAre24Bit) {
    for (const Size& s : kBitmaps) {
        const std::vector<unsigned char> data = Bytes(s.id, RT_BITMAP);
        ASSERT_GE(data.size(), sizeof(BITMAPINFOHEADER)) << "bitmap " << s.id;
        BITMAPINFOHEADER h;
        std::memcpy(&h, data.data(), sizeof h);
        EXPECT_EQ(h.biWidth, s.width) << "bitmap " << s.id;
        EXPECT_EQ(std::abs(h.biHeight), s.height) << "bitmap " << s.id;
        EXPECT_EQ(h.biBitCount, 24) << "bitmap " << s.id;
        EXPECT_EQ(h.biCompression, static_cast<DWORD>(BI_RGB)) << "bitmap " << s.id;
    }
}

BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) {
    if (IS_INTRESOURCE(name))
        reinterpret_cast<std::set<int>*>(found)->insert(static_cast<int>(reinterpret_cast<ULONG_PTR>(name)));
    return TRUE;
}

TEST(ResourcesTest, NoOtherBitmaps) {
    std::set<int> found;
    ::EnumResourceNamesW(::GetModuleHandleW(nullptr), RT_BITMAP, &CollectName, reinterpret_cast<LONG_PTR>(&found));
    std::set<int> expected;
    for (const Size& s : kBitmaps) expected.insert(s.id);
    EXPECT_EQ(found, expected);
}

TEST(ResourcesTest, PngsHaveTheirSizesAndARealAlphaChannel) {
    for (const Size& s : kPngs) {
        const std::vector<unsigned char> data = Bytes(s.id, L"PNG");
        ASSERT_GT(data.size(), 33u) << "png " << s.id;
        EXPECT_EQ(std::memcmp(data.data(), "\x89PNG\r\n\x1a\n", 8), 0);
        EXPECT_EQ(std::memcmp(data.data() + 12, "IHDR", 4), 0);
        EXPECT_EQ(BigEndian(data.data() + 16), static_cast<std::uint32_t>(s.width)) << "png " << s.id;
        EXPECT_EQ(BigEndian(data.data() + 20), static_cast<std::uint32_t>(s.height)) << "png " << s.id;
        EXPECT_EQ(data[25], 6) << "png " << s.id << ": RGBA";

        controls::Picture p;
        ASSERT_TRUE(p.LoadResourceImage(s.id, L"PNG"));
        ASSERT_EQ(p.Width(), s.width);
        ASSERT_EQ(p.Height(), s.height);
        ASSERT_TRUE(p.HasAlpha());
        std::set<int> alphas;
        for (int y = 0; y < p.Height(); ++y)
            for (int x = 0; x < p.Width(); ++x) alphas.insert(p.Row(y)[4 * x + 3]);
        EXPECT_TRUE(alphas.count(0)) << "png " << s.id;
        EXPECT_TRUE(alphas.count(255)) << "png " << s.id;
        EXPECT_GT(alphas.size(), 10u) << "png " << s.id << ": soft edges, not a mask";
    }
}

TEST(ResourcesTest, DialogTemplatesIconAndString) {
    for (int id : {IDD_ABOUTBOX, IDD_SETUP_DIALOG, IDD_EXPLAIN, IDD_ISCLOSE, IDD_MESERROR})
        EXPECT_FALSE(Bytes(id, RT_DIALOG).empty()) << "dialog " << id;
    HICON big = static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME),
                                                IMAGE_ICON, 32, 32, 0));
    EXPECT_NE(big, nullptr);
    if (big) ::DestroyIcon(big);
    EXPECT_FALSE(Bytes(IDR_MAINFRAME, RT_GROUP_ICON).empty());
    wchar_t text[64] = {};
    ::LoadStringW(::GetModuleHandleW(nullptr), IDS_ABOUTBOX, text, 64);
    EXPECT_STREQ(text, L"关于 Setup(&A)...");
}

// Six images, from the title bar's 16 pixels to large icon views' 256; the largest PNG-compressed.
TEST(ResourcesTest, IconHasEverySizeUpTo256) {
    const std::vector<unsigned char> group = Bytes(IDR_MAINFRAME, RT_GROUP_ICON);
    ASSERT_GE(group.size(), 6u);
    const unsigned count = group[4] | (group[5] << 8);
    ASSERT_EQ(group.size(), 6u + 14u * count);
    std::set<int> sizes;
    for (unsigned i = 0; i < count; ++i) {
        const unsigned char* e = group.data() + 6 + 14 * i;   // GRPICONDIRENTRY
        const int size = e[0] ? e[0] : 256;
        sizes.insert(size);
        EXPECT_EQ(e[0], e[1]) << "square";
        const int iconId = e[12] | (e[13] << 8);
        const std::vector<unsigned char> image = Bytes(iconId, RT_ICON);
        ASSERT_GE(image.size(), 8u) << size;
        const bool png = std::memcmp(image.data(), "\x89PNG", 4) == 0;
        EXPECT_EQ(png, size == 256) << size << " pixels";
    }
    EXPECT_EQ(sizes, (std::set<int>{16, 24, 32, 48, 64, 256}));
    HICON large = static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME),
                                                  IMAGE_ICON, 256, 256, 0));
    EXPECT_NE(large, nullptr);
    if (large) ::DestroyIcon(large);
}

TEST(ResourcesTest, ManifestAsksForAdministratorCommonControls6AndDpiAwareness) {
    const std::vector<unsigned char> data = Bytes(1, RT_MANIFEST);
    const std::string xml(data.begin(), data.end());
    EXPECT_NE(xml.find("level=\"requireAdministrator\""), std::string::npos);
    EXPECT_NE(xml.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(xml.find("<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true</dpiAware>"),
              std::string::npos);
}

TEST(ResourcesTest, VersionIsOneZeroZeroFortyFive) {
    wchar_t exe[MAX_PATH];
    ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(exe, &ignored);
    ASSERT_GT(size, 0u);
    std::vector<unsigned char> info(size);
    ASSERT_TRUE(::GetFileVersionInfoW(exe, 0, size, info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &len));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 45u);
    EXPECT_EQ(fixed->dwProductVersionLS, 45u);
    wchar_t* text = nullptr;
    ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\StringFileInfo\\080404b0\\FileDescription",
                                 reinterpret_cast<void**>(&text), &len));
    EXPECT_STREQ(text, L"Setup应用程序");
    ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\StringFileInfo\\080404b0\\FileVersion",
                                 reinterpret_cast<void**>(&text), &len));
    EXPECT_STREQ(text, L"1.0.0.45");
}

}  // namespace
