// The fault matrix program: the cells under Google Test, or, started with "--launcher-run"
// by a cell, one run of the launcher in this process.
#include "fault_matrix_flow.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], zv::test::kLauncherRunSwitch) == 0) {
        // The launcher's own switches follow (ASCII only).
        std::vector<std::wstring> switches;
        for (int i = 2; i < argc; ++i) switches.emplace_back(argv[i], argv[i] + std::strlen(argv[i]));
        return zv::test::RunLauncherInThisProcess(std::move(switches));
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
