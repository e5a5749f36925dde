#include "skin/image_dc.h"

#include "skin/gdiplus_include.h"

namespace zv::skin {

CMyImageDC::CMyImageDC() noexcept = default;

CMyImageDC::~CMyImageDC()
{
    Release();
}

bool CMyImageDC::Create(HDC reference, int width, int height, bool monochrome)
{
    Release();
    if (width <= 0 || height <= 0) return false;
    m_nWidth = width;
    m_nHeight = height;

    LOGFONTW lf{};
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
    lf.lfWeight = FW_NORMAL;
    lf.lfHeight = 32;
    lstrcpynW(lf.lfFaceName, L"Arial", LF_FACESIZE);
    m_hFont = ::CreateFontIndirectW(&lf);

    m_hDC = ::CreateCompatibleDC(reference);
    if (!m_hDC) return false;
    if (monochrome) {
        m_hBitmap = ::CreateBitmap(width, height, 1, 1, nullptr);
    } else {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = width;
        bi.bmiHeader.biHeight = -height; // top-down: row 0 is the window's top
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        m_hBitmap = ::CreateDIBSection(m_hDC, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (m_hBitmap) {
            m_pBits = static_cast<uint32_t*>(bits);
            m_pCanvas = std::make_unique<Gdiplus::Bitmap>(width, height, width * 4, PixelFormat32bppPARGB,
                                                          static_cast<BYTE*>(bits));
            if (m_pCanvas->GetLastStatus() != Gdiplus::Ok) m_pCanvas.reset();
        }
    }
    if (m_hBitmap) {
        m_hOldBitmap = ::SelectObject(m_hDC, m_hBitmap);
        if (m_hFont) m_hOldFont = ::SelectObject(m_hDC, m_hFont);
    }
    return m_hOldBitmap != nullptr;
}

bool CMyImageDC::Release() noexcept
{
    m_pCanvas.reset();
    if (m_hDC) {
        if (m_hOldBitmap) ::SelectObject(m_hDC, m_hOldBitmap);
        if (m_hOldFont) ::SelectObject(m_hDC, m_hOldFont);
    }
    if (m_hBitmap) ::DeleteObject(m_hBitmap);
    if (m_hFont) ::DeleteObject(m_hFont);
    if (m_hDC) ::DeleteDC(m_hDC);
    m_hDC = nullptr;
    m_hBitmap = nullptr;
    m_hFont = nullptr;
    m_hOldBitmap = m_hOldFont = nullptr;
    m_pBits = nullptr;
    m_nWidth = m_nHeight = 0;
    return true;
}

uint32_t CMyImageDC::PixelAt(int x, int y) const noexcept
{
    if (!m_pBits || x < 0 || y < 0 || x >= m_nWidth || y >= m_nHeight) return 0;
    ::GdiFlush();
    return m_pBits[static_cast<size_t>(y) * m_nWidth + x];
}

} // namespace zv::skin
