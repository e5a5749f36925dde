#include "skin/skin_picture.h"

#include "skin/gdiplus_include.h"
#include "skin/image_dc.h"

#include <cstdint>
#include <cstring>

namespace zv::skin {

bool PngSizeOf(const std::wstring& fullPath, SIZE& size) noexcept
{
    // Signature (8 bytes), then the IHDR chunk: length, type, width and height big-endian.
    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    HANDLE file = ::CreateFileW(fullPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    unsigned char head[24] = {};
    DWORD read = 0;
    const BOOL ok = ::ReadFile(file, head, sizeof(head), &read, nullptr);
    ::CloseHandle(file);
    if (!ok || read != sizeof(head) || memcmp(head, kSignature, 8) != 0 || memcmp(head + 12, "IHDR", 4) != 0) return false;
    auto be32 = [&](int at) {
        return (static_cast<uint32_t>(head[at]) << 24) | (static_cast<uint32_t>(head[at + 1]) << 16) |
               (static_cast<uint32_t>(head[at + 2]) << 8) | head[at + 3];
    };
    const uint32_t width = be32(16), height = be32(20);
    if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) return false;
    size = SIZE{static_cast<LONG>(width), static_cast<LONG>(height)};
    return true;
}

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
