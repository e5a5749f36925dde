#pragma once
// What an install pass records for each installable it attempted.
#include <string>

class ZvLib_CInstallResult {
public:
    virtual ~ZvLib_CInstallResult() = default;
    void Reset()
    {
        name.clear();
        itemId = -1;
        index = -1;
        resultCode = 0;
        applied = 0;
        succeeded = 0;
    }

    std::wstring name;
    int itemId = -1;
    int index = -1;      // 1-based position in the pass
    int resultCode = 0;  // the installer's exit code or the apply's error code
    int applied = 0;     // the apply step ran
    int succeeded = 0;   // the apply step reported success
};

// The cancel event an install is given; the library only opens it.
inline constexpr wchar_t kInstallCancelEventName[] = L"Local\\Quorvane.zv_work_cancel_event";
