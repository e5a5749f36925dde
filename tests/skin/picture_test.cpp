// Picture paths, loading and drawing onto the premultiplied surface.
#include <gtest/gtest.h>

#include "skin/image_dc.h"
#include "skin/picture_path.h"
#include "skin/skin_picture.h"
#include "skin_test_support.h"

namespace zv::skin {
namespace {

TEST(PicturePath, JoinsWithExactlyOneBackslash)
{
    struct Case {
        const wchar_t* folder;
        const wchar_t* name;
        const wchar_t* want;
    } cases[] = {
        {L"C:\\Apps\\Launcher\\Images\\", L"by.png", L"C:\\Apps\\Launcher\\Images\\by.png"},
        {L"C:\\Apps\\Launcher\\Images\\", L"\\by.png", L"C:\\Apps\\Launcher\\Images\\by.png"},
        {L"C:\\Apps\\Launcher\\Images", L"by.png", L"C:\\Apps\\Launcher\\Images\\by.png"},
        {L"C:\\Apps\\Launcher\\Images", L"\\by.png", L"C:\\Apps\\Launcher\\Images\\by.png"},
    };
    for (const auto& c : cases) EXPECT_EQ(JoinPictureFolder(c.folder, c.name), c.want) << c.name;
}

TEST(PicturePath, IsTheImagesFolderBesideTheProgram)
{
    wchar_t module[MAX_PATH];
    std::wstring exe(module, ::GetModuleFileNameW(nullptr, module, MAX_PATH));
    std::wstring dir = exe.substr(0, exe.find_last_of(L'\\') + 1);
    EXPECT_EQ(PicturePath(L"by.png"), dir + L"Images\\by.png");
    EXPECT_EQ(PicturePath(L"\\by.png"), dir + L"Images\\by.png");
}

TEST(SkinPicture, MissingFileLoadsAsZeroAndDrawsNothing)
{
    CSkinPicture pic;
    EXPECT_EQ(pic.Load(PicturePath(L"no-such-picture.png")), 0);
    EXPECT_EQ(pic.GetSize().cx, 0);
    EXPECT_EQ(pic.GetSize().cy, 0);
    CMyImageDC dc;
    ASSERT_TRUE(dc.Create(nullptr, 8, 8));
    EXPECT_EQ(pic.Draw(dc, RECT{}), 1);
    EXPECT_EQ(dc.PixelAt(4, 4), 0u);
}

TEST(SkinPicture, EmptyRectDrawsAtOriginAtOwnSizeAndCopyReplacesAlpha)
{
    CSkinPicture pic;
    ASSERT_EQ(pic.Load(PicturePath(L"close_button_red.png")), 1);
    const SIZE size = pic.GetSize();
    ASSERT_GT(size.cx, 4);
    CMyImageDC dc;
    ASSERT_TRUE(dc.Create(nullptr, size.cx * 2, size.cy * 2));
    ASSERT_EQ(pic.Draw(dc, RECT{}, true), 1);
    // Something opaque was drawn inside the picture's own square and nothing beyond it.
    int opaqueInside = 0;
    for (int y = 0; y < size.cy; ++y)
        for (int x = 0; x < size.cx; ++x) opaqueInside += (dc.PixelAt(x, y) >> 24) > 200;
    EXPECT_GT(opaqueInside, 0);
    for (int y = 0; y < size.cy * 2; ++y)
        for (int x = 0; x < size.cx * 2; ++x) {
            if (x >= size.cx || y >= size.cy) {
                ASSERT_EQ(dc.PixelAt(x, y), 0u) << x << "," << y;
            }
        }
    // Premultiplied: no colour channel exceeds its alpha.
    for (int y = 0; y < size.cy; ++y)
        for (int x = 0; x < size.cx; ++x) {
            uint32_t p = dc.PixelAt(x, y);
            uint32_t a = p >> 24;
            ASSERT_LE((p >> 16) & 0xFF, a);
            ASSERT_LE((p >> 8) & 0xFF, a);
            ASSERT_LE(p & 0xFF, a);
        }
}

TEST(ImageDc, SurfaceIs32BitWhateverTheReference)
{
    CMyImageDC dc;
    ASSERT_TRUE(dc.Create(nullptr, 5, 3));
    BITMAP bm{};
    ASSERT_TRUE(::GetObjectW(::GetCurrentObject(dc.GetSafeHdc(), OBJ_BITMAP), sizeof(bm), &bm));
    EXPECT_EQ(bm.bmBitsPixel, 32);
    EXPECT_EQ(bm.bmWidth, 5);
    EXPECT_EQ(bm.bmHeight, 3);
    EXPECT_TRUE(dc.Release());
    EXPECT_EQ(dc.Width(), 0);
    EXPECT_EQ(dc.GetSafeHdc(), nullptr);
}

} // namespace
} // namespace zv::skin
