#pragma once
// One PNG picture with alpha, decoded once at load and drawn scaled onto a surface.
#include <windows.h>

#include <memory>
#include <string>

namespace Gdiplus {
class Bitmap;
}

namespace zv::skin {

class CMyImageDC;

class CSkinPicture {
public:
    CSkinPicture() noexcept;
    ~CSkinPicture();
    CSkinPicture(const CSkinPicture&) = delete;
    CSkinPicture& operator=(const CSkinPicture&) = delete;

    // 1 when the file was decoded; otherwise 0 and the picture draws nothing.
    int Load(const std::wstring& fullPath);
    // (0, 0) without a decoded picture.
    SIZE GetSize() const noexcept;
    // Draws the whole picture scaled into rect; an all-zero rect means (0, 0) at its own
    // size. copy: the picture's pixels, alpha included, replace the surface's.
    int Draw(CMyImageDC& dc, RECT rect, bool copy = false) const;
    void Discard() noexcept;
    bool IsLoaded() const noexcept { return m_bLoaded != 0; }

private:
    std::unique_ptr<Gdiplus::Bitmap> m_pBitmap;
    int m_bUseEmbeddedColorManagement = 0;
    int m_bLoaded = 0;
};

} // namespace zv::skin
