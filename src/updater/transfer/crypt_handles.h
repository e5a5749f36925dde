#pragma once
// RAII owners for CryptoAPI handles (Windows): provider context, key and hash.
#include "framework/handle.h"

#include <wincrypt.h>

namespace zv {

struct CryptProvTraits {
    using Handle = HCRYPTPROV;
    static Handle Invalid() noexcept { return 0; }
    static bool IsValid(Handle h) noexcept { return h != 0; }
    static void Close(Handle h) noexcept { ::CryptReleaseContext(h, 0); }
};
struct CryptKeyTraits {
    using Handle = HCRYPTKEY;
    static Handle Invalid() noexcept { return 0; }
    static bool IsValid(Handle h) noexcept { return h != 0; }
    static void Close(Handle h) noexcept { ::CryptDestroyKey(h); }
};
struct CryptHashTraits {
    using Handle = HCRYPTHASH;
    static Handle Invalid() noexcept { return 0; }
    static bool IsValid(Handle h) noexcept { return h != 0; }
    static void Close(Handle h) noexcept { ::CryptDestroyHash(h); }
};
// Release a key and a hash before the provider they came from.
using CCryptProv = zv::fw::UniqueHandle<CryptProvTraits>;
using CCryptKey = zv::fw::UniqueHandle<CryptKeyTraits>;
using CCryptHash = zv::fw::UniqueHandle<CryptHashTraits>;

} // namespace zv
