#pragma once
// Collects the library's log lines, as written, while it lives.
#include <string>
#include <vector>

namespace zv::test {

class LogLines {
public:
    // Enables the log at level and starts from no lines; the destructor silences it again.
    explicit LogLines(int level = 6);
    ~LogLines();
    LogLines(const LogLines&) = delete;
    LogLines& operator=(const LogLines&) = delete;

    std::vector<std::wstring> All() const;
    // Lines that contain text.
    std::vector<std::wstring> With(const std::wstring& text) const;
    int Count(const std::wstring& text) const { return static_cast<int>(With(text).size()); }
    void Clear();
};

} // namespace zv::test
