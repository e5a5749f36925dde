#pragma once
// What the updater worker needs of the update library: three steps and a connectivity
// question. The worker owns one object of this kind and calls it on its own thread only,
// except IsInternetConnected, which the progress window asks on the main thread.
#include <memory>
#include <string>

namespace zv::launcher {

// What a check tells the update service about this machine.
struct CheckRequest {
    std::wstring productFile;      // the product configuration file beside the executable
    std::wstring installedVersion; // "0.00.00" when the utility is not installed
    bool regionalBrand = false;
};

class IUpdateSteps {
public:
    virtual ~IUpdateSteps() = default;
    // Prepares the library; the cancel event of downloads is opened by this name.
    virtual void Initialize(const std::wstring& cancelEventName) = 0;
    virtual bool IsInitialized() const = 0;
    // Each returns the library's result: non-zero is success.
    virtual int Check(const CheckRequest& request) = 0;
    virtual int Download() = 0;
    virtual int Install() = 0;
    virtual int IsInternetConnected() = 0;
};

// The update library behind the steps.
std::unique_ptr<IUpdateSteps> CreateLibraryUpdateSteps();

} // namespace zv::launcher
