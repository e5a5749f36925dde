#pragma once
// Shared pieces of the skin tests: GDI+ for the whole run, message pumping, pixels and
// screenshots.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

namespace zv::test {

// Dispatches this thread's messages until done() or the time runs out; returns done().
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);
// Dispatches messages for a while.
void PumpFor(DWORD ms);

struct Argb {
    int a, r, g, b;
};
// The colour a premultiplied pixel stands for.
Argb Unpremultiply(uint32_t pixel);
// Within tol on every colour channel and alpha.
bool Near(const Argb& got, const Argb& want, int tol);
std::string Describe(const Argb& c);

// Saves a 32-bit premultiplied surface and the whole screen as PNG files in the current folder.
bool SaveSurfacePng(const std::wstring& fileName, void* gdiplusBitmap);
bool SaveScreenPng(const std::wstring& fileName);

} // namespace zv::test
