#pragma once
// Where tests find their data and where they may write.
#include <string>

namespace zv::test {

// A file or folder of the source tree, as the program under test names it
// (under Wine: the Z: drive path of the same file).
std::wstring SourcePath(const std::wstring& relative);
// A path in the build tree, likewise.
std::wstring BuildPath(const std::wstring& relative);

// A fresh, empty folder of this test's own, removed with its content on destruction.
class ScratchDir {
public:
    explicit ScratchDir(const std::wstring& name);
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::wstring& Path() const { return m_path; }
    std::wstring File(const std::wstring& name) const;

private:
    std::wstring m_path;
};

// Whole-file helpers for test fixtures.
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
std::string ReadFileBytes(const std::wstring& path);
bool FileExists(const std::wstring& path);

} // namespace zv::test
