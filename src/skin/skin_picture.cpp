#include "skin/skin_picture.h"

#include "skin/gdiplus_include.h"
#include "skin/image_dc.h"

namespace zv::skin {

CSkinPicture::CSkinPicture() noexcept = default;
CSkinPicture::~CSkinPicture() = default;

int CSkinPicture::Load(const std::wstring& fullPath)
{
    Discard();
    m_pBitmap = std::make_unique<Gdiplus::Bitmap>(fullPath.c_str(), m_bUseEmbeddedColorManagement != 0);
    m_bLoaded = m_pBitmap->GetLastStatus() == Gdiplus::Ok ? 1 : 0;
    return m_bLoaded;
}

SIZE CSkinPicture::GetSize() const noexcept
{
    if (!m_bLoaded || !m_pBitmap) return SIZE{0, 0};
    return SIZE{static_cast<LONG>(m_pBitmap->GetWidth()), static_cast<LONG>(m_pBitmap->GetHeight())};
}

int CSkinPicture::Draw(CMyImageDC& dc, RECT rect, bool copy) const
{
    Gdiplus::Bitmap* canvas = dc.Canvas();
    if (!m_bLoaded || !canvas) return 1;
    if (dc.GetSafeHdc()) ::SetBkMode(dc.GetSafeHdc(), TRANSPARENT);
    Gdiplus::Graphics g(canvas);
    g.SetCompositingQuality(Gdiplus::CompositingQualityHighQuality);
    if (rect.left == 0 && rect.top == 0 && rect.right == 0 && rect.bottom == 0) {
        SIZE size = GetSize();
        rect.right = size.cx;
        rect.bottom = size.cy;
    }
    g.SetCompositingMode(copy ? Gdiplus::CompositingModeSourceCopy : Gdiplus::CompositingModeSourceOver);
    g.DrawImage(m_pBitmap.get(), Gdiplus::Rect(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top));
    return 1;
}

void CSkinPicture::Discard() noexcept
{
    m_pBitmap.reset();
    m_bLoaded = 0;
}

} // namespace zv::skin
