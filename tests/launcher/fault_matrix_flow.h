#pragma once
// One run of the launcher's update flow for the fault matrix: the real worker with the
// real library steps, check, download and install in the order the progress window asks
// for them, and the worker's cancel (the close button) when the server starts to trickle.
#include <string>

namespace zv::test {

// Each step's reported result; -1 when the step was not asked for or never reported.
struct FlowResult {
    int check = -1;
    int download = -1;
    int install = -1;
    bool started = false;   // the worker came up
    bool completed = false; // every asked step reported within the time allowed
    bool cancelled = false; // the close button's cancel was given
};

// Runs the flow. The install is asked for whenever the check succeeded, also after a
// failed download: the install step must then refuse on its own. When cancelAt is not 0,
// the worker's CancelWork is called as soon as cancelAt lines of appliedLog contain cancelOn.
// productFile, when not empty, stands for the one beside the program.
FlowResult RunUpdateFlow(const std::wstring& appliedLog, const std::string& cancelOn, int cancelAt,
                         const std::wstring& productFile = std::wstring());

// FNV-1a 64 of bytes, as the matrix installer writes it ("%016llx").
std::string Fnv1a64Hex(const std::string& bytes);

} // namespace zv::test
