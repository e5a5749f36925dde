#include "support/test_paths.h"

#include "updater/base/text_helpers.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace zv::test {

namespace {

std::wstring HostPath(const std::string& unixPath)
{
#ifdef _WIN32
    std::wstring p = L"Z:" + zv::FromUtf8(unixPath);
    for (auto& c : p)
        if (c == L'/') c = L'\\';
    return p;
#else
    return zv::FromUtf8(unixPath);
#endif
}

fs::path ToFs(const std::wstring& p)
{
#ifdef _WIN32
    return fs::path(p);
#else
    return fs::path(zv::ToUtf8(p));
#endif
}

// root + relative, with the separators of the platform the program runs on.
std::wstring UnderRoot(const char* root, const std::wstring& relative)
{
    std::wstring r = relative;
#ifdef _WIN32
    for (auto& c : r)
        if (c == L'/') c = L'\\';
    return HostPath(root) + L"\\" + r;
#else
    return HostPath(root) + L"/" + r;
#endif
}

} // namespace

std::wstring SourcePath(const std::wstring& relative)
{
    return UnderRoot(ZV_TEST_SOURCE_DIR, relative);
}

std::wstring BuildPath(const std::wstring& relative)
{
    return UnderRoot(ZV_TEST_BINARY_DIR, relative);
}

ScratchDir::ScratchDir(const std::wstring& name)
{
    std::random_device rd;
    std::wstringstream s;
    s << name << L"-" << std::hex << rd() << rd();
    fs::path p = fs::temp_directory_path() / ToFs(L"zvtest") / ToFs(s.str());
    fs::create_directories(p);
#ifdef _WIN32
    m_path = p.wstring();
#else
    m_path = zv::FromUtf8(p.string());
#endif
}

ScratchDir::~ScratchDir()
{
    std::error_code ec;
    // Tests may leave read-only files behind; make everything removable first.
    for (auto it = fs::recursive_directory_iterator(ToFs(m_path), ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ec);
#ifdef _WIN32
    for (auto it = fs::recursive_directory_iterator(ToFs(m_path), ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        ::SetFileAttributesW(it->path().c_str(), FILE_ATTRIBUTE_NORMAL);
#endif
    fs::remove_all(ToFs(m_path), ec);
}

std::wstring ScratchDir::File(const std::wstring& name) const
{
#ifdef _WIN32
    return m_path + L"\\" + name;
#else
    return m_path + L"/" + name;
#endif
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    std::ofstream f(ToFs(path), std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFileBytes(const std::wstring& path)
{
    std::ifstream f(ToFs(path), std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

bool FileExists(const std::wstring& path)
{
    std::error_code ec;
    return fs::exists(ToFs(path), ec);
}

} // namespace zv::test
