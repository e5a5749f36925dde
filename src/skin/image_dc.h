#pragma once
// The off-screen surface a skinned window is drawn into before it goes to the screen:
// a memory device context holding a 32-bit top-down DIB section of premultiplied ARGB,
// whatever the screen's colour depth, which is what UpdateLayeredWindow blends.
#include <windows.h>

#include <cstdint>
#include <memory>

namespace Gdiplus {
class Bitmap;
}

namespace zv::skin {

class CMyImageDC {
public:
    CMyImageDC() noexcept;
    ~CMyImageDC();
    CMyImageDC(const CMyImageDC&) = delete;
    CMyImageDC& operator=(const CMyImageDC&) = delete;

    // True when the bitmap got selected into a new memory context compatible with
    // reference. monochrome: a 1-bit bitmap instead (no drawing canvas then).
    bool Create(HDC reference, int width, int height, bool monochrome = false);
    // Puts the context back as it was and frees everything; always true.
    bool Release() noexcept;

    HDC GetSafeHdc() const noexcept { return m_hDC; }
    int Width() const noexcept { return m_nWidth; }
    int Height() const noexcept { return m_nHeight; }
    // Premultiplied ARGB pixel at (x, y), or 0 outside the surface.
    uint32_t PixelAt(int x, int y) const noexcept;
    // A GDI+ view of the same pixels; null for a monochrome or absent surface.
    Gdiplus::Bitmap* Canvas() const noexcept { return m_pCanvas.get(); }

private:
    HDC m_hDC = nullptr;
    HBITMAP m_hBitmap = nullptr;
    HFONT m_hFont = nullptr;
    int m_nWidth = 0;
    int m_nHeight = 0;
    HGDIOBJ m_hOldBitmap = nullptr;
    HGDIOBJ m_hOldFont = nullptr;
    uint32_t* m_pBits = nullptr;
    std::unique_ptr<Gdiplus::Bitmap> m_pCanvas;
};

} // namespace zv::skin
