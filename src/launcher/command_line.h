#pragma once
// The launcher's switches: x (close the running instance), s (silent) and
// splash_duration:<milliseconds>, each introduced by a dash or a slash, in any case.
#include <string>
#include <vector>

namespace zv::launcher {

class KECommandLineInfo {
public:
    static constexpr int kDefaultSplashDurationMs = 2000;
    static constexpr int kMaxSplashDurationMs = 15000;

    virtual ~KECommandLineInfo() = default;

    // One argument with its dash or slash already removed (isFlag tells whether it had one).
    virtual void ParseParam(const std::wstring& param, bool isFlag, bool isLast);
    // Every argument after the program name, in order.
    void ParseArguments(const std::vector<std::wstring>& arguments);

    bool m_bCloseRunning = false;
    int m_nSplashDurationMs = kDefaultSplashDurationMs;
    bool m_bSilent = false;
};

// The leading integer of text as the C runtime's wide conversion reads it: blanks, an
// optional sign, digits; no digits gives 0. Saturates instead of overflowing.
int LeadingInteger(const std::wstring& text);

} // namespace zv::launcher
