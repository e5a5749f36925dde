#pragma once
// RAII owners for operating-system handles: one small non-copyable type per kind.
#include <windows.h>

#include <utility>

namespace zv::fw {

// Owns one handle; Traits::Close releases it, Traits::Invalid() is the empty value.
template <class Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Handle h) noexcept : m_h(h) {}
    ~UniqueHandle() { Reset(); }

    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : m_h(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other) Reset(other.Release());
        return *this;
    }

    Handle Get() const noexcept { return m_h; }
    bool IsValid() const noexcept { return Traits::IsValid(m_h); }
    explicit operator bool() const noexcept { return IsValid(); }

    Handle Release() noexcept { return std::exchange(m_h, Traits::Invalid()); }
    void Reset(Handle h = Traits::Invalid()) noexcept
    {
        Handle old = std::exchange(m_h, h);
        if (Traits::IsValid(old)) Traits::Close(old);
    }
    // For APIs that fill in a handle through a pointer.
    Handle* Put() noexcept
    {
        Reset();
        return &m_h;
    }

private:
    Handle m_h = Traits::Invalid();
};

// Kernel objects: events, mutexes, mappings, threads, processes, files.
struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) noexcept { ::CloseHandle(h); }
};
using CHandle = UniqueHandle<KernelHandleTraits>;

struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Handle h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) noexcept { ::FindClose(h); }
};
using CFindHandle = UniqueHandle<FindHandleTraits>;

struct MappedViewTraits {
    using Handle = void*;
    static Handle Invalid() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr; }
    static void Close(Handle h) noexcept { ::UnmapViewOfFile(h); }
};
using CMappedView = UniqueHandle<MappedViewTraits>;

struct ModuleTraits {
    using Handle = HMODULE;
    static Handle Invalid() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr; }
    static void Close(Handle h) noexcept { ::FreeLibrary(h); }
};
using CModule = UniqueHandle<ModuleTraits>;

} // namespace zv::fw
