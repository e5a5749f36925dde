#include "skin_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "skin/gdiplus_include.h"

namespace zv::test {

namespace {
class GdiplusEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        Gdiplus::GdiplusStartupInput input;
        ASSERT_EQ(Gdiplus::GdiplusStartup(&m_token, &input, nullptr), Gdiplus::Ok);
    }
    void TearDown() override { Gdiplus::GdiplusShutdown(m_token); }

private:
    ULONG_PTR m_token = 0;
};
const auto* g_gdiplus = ::testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

bool PngEncoder(CLSID* clsid)
{
    UINT count = 0, bytes = 0;
    Gdiplus::GetImageEncodersSize(&count, &bytes);
    std::vector<BYTE> buffer(bytes);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::GetImageEncoders(count, bytes, codecs) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i) {
        if (std::wstring(codecs[i].MimeType) == L"image/png") {
            *clsid = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}
} // namespace

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    while (!done()) {
        if (::GetTickCount64() >= end) return done();
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    return true;
}

void PumpFor(DWORD ms)
{
    PumpUntil([] { return false; }, ms);
}

Argb Unpremultiply(uint32_t p)
{
    const int a = static_cast<int>(p >> 24);
    auto un = [a](uint32_t c) { return a == 0 ? 0 : static_cast<int>((c * 255 + a / 2) / a); };
    return Argb{a, un((p >> 16) & 0xFF), un((p >> 8) & 0xFF), un(p & 0xFF)};
}

bool Near(const Argb& got, const Argb& want, int tol)
{
    return std::abs(got.a - want.a) <= tol && std::abs(got.r - want.r) <= tol && std::abs(got.g - want.g) <= tol &&
           std::abs(got.b - want.b) <= tol;
}

std::string Describe(const Argb& c)
{
    char text[64];
    std::snprintf(text, sizeof(text), "argb(%d, %d, %d, %d)", c.a, c.r, c.g, c.b);
    return text;
}

bool SaveSurfacePng(const std::wstring& fileName, void* gdiplusBitmap)
{
    CLSID png;
    if (!gdiplusBitmap || !PngEncoder(&png)) return false;
    return static_cast<Gdiplus::Bitmap*>(gdiplusBitmap)->Save(fileName.c_str(), &png, nullptr) == Gdiplus::Ok;
}

bool SaveScreenPng(const std::wstring& fileName)
{
    CLSID png;
    if (!PngEncoder(&png)) return false;
    const int w = ::GetSystemMetrics(SM_CXSCREEN);
    const int h = ::GetSystemMetrics(SM_CYSCREEN);
    HDC screen = ::GetDC(nullptr);
    HDC mem = ::CreateCompatibleDC(screen);
    HBITMAP bmp = ::CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = ::SelectObject(mem, bmp);
    ::BitBlt(mem, 0, 0, w, h, screen, 0, 0, SRCCOPY);
    ::SelectObject(mem, old);
    bool ok = false;
    {
        Gdiplus::Bitmap shot(bmp, nullptr);
        ok = shot.Save(fileName.c_str(), &png, nullptr) == Gdiplus::Ok;
    }
    ::DeleteObject(bmp);
    ::DeleteDC(mem);
    ::ReleaseDC(nullptr, screen);
    return ok;
}

} // namespace zv::test
