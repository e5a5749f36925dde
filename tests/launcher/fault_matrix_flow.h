#pragma once
// One run of the launcher for the fault matrix, as a user meets it: this program started
// again as a child ("--launcher-run"), which runs the real application with its progress
// window and worker (matrix_launcher_run.cpp) and writes an account of what it saw.
#include <windows.h>

#include <string>
#include <vector>

namespace zv::test {

// How the parent tells the child where to write and when to click the close button.
inline constexpr wchar_t kRunResultVariable[] = L"ZV_MATRIX_RUN_RESULT";
inline constexpr wchar_t kRunAppliedVariable[] = L"ZV_MATRIX_RUN_APPLIED";
inline constexpr wchar_t kRunCancelOnVariable[] = L"ZV_MATRIX_RUN_CANCEL_ON";
inline constexpr wchar_t kRunCancelAtVariable[] = L"ZV_MATRIX_RUN_CANCEL_AT";
inline constexpr char kLauncherRunSwitch[] = "--launcher-run";

enum class Click { None = 0, OnButton = 1, ButtonHidden = 2, NoButtonPicture = 3 };

// What one launcher run showed and how its process ended.
struct LauncherRun {
    DWORD startError = 0;          // the child could not be started (the last attempt's error)
    DWORD exitCode = STILL_ACTIVE; // STILL_ACTIVE: not started, or still running when its time was up (then ended)
    ULONGLONG elapsedMs = 0;
    bool reported = false;         // the child wrote its account
    bool windowShown = false;
    bool windowClosed = false;     // the window went by itself: the flow ended
    bool offlineBox = false;       // the no-connection box was shown (and dismissed)
    bool utilityRegistered = false;
    Click click = Click::None;
    std::vector<int> bar;          // distinct values the bar took, -1 once the window went
    std::vector<std::string> log;  // the library's lines of the run

    // The process ended by itself, cleanly, after its window went.
    bool EndedCleanly() const { return exitCode == 0 && reported && windowShown && windowClosed; }
    bool Saw(int progress) const;
    int MaxProgress() const;
    // The bar's account of the steps: the download begins (10) only after a good check,
    // the install (60, then 100) only after a good download.
    bool CheckPassed() const { return MaxProgress() >= 10; }
    bool DownloadPassed() const { return Saw(60) || Saw(100); }
    bool InstallEnded() const { return Saw(100); }
    bool Cancelled() const { return click == Click::OnButton; }
};

struct LauncherRunOptions {
    std::wstring program;          // the launcher program; empty: this one, beside its product file
    std::wstring resultFile;
    std::wstring appliedLog;       // when cancelAt is not 0, the close button is clicked as soon
    std::string cancelOn;          // as cancelAt lines of appliedLog contain cancelOn
    int cancelAt = 0;
};

LauncherRun RunLauncher(const LauncherRunOptions& options);

// The child's side: runs the application with the switches; see matrix_launcher_run.cpp.
int RunLauncherInThisProcess(std::vector<std::wstring> switches);

// FNV-1a 64 of bytes, as the matrix installer writes it ("%016llx").
std::string Fnv1a64Hex(const std::string& bytes);

} // namespace zv::test
