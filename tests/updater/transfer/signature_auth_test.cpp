// The product's signature check on CryptoAPI (under Wine), against the fixtures that
// the native zvtool signed (tools/make-auth-fixtures.sh).
#include "updater/transfer/signature_auth.h"

#include "framework/handle.h"
#include "support/log_capture.h"
#include "support/test_paths.h"
#include "updater/transfer/crypt_handles.h"
#include "updater/base/win32/path_helpers.h"
#include "updater/transfer/pubkey_blob.h"
#include "updater/base/text_helpers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using zv::AuthStatus;

std::wstring Data(const std::wstring& name)
{
    return zv::test::SourcePath(L"tests/data/auth/" + name);
}

PubKeyResource FileKey(const std::wstring& path)
{
    PubKeyResource key;
    key.keyFilePath = path;
    return key;
}

std::vector<unsigned char> Bytes(const std::wstring& path)
{
    std::string s = zv::test::ReadFileBytes(path);
    return std::vector<unsigned char>(s.begin(), s.end());
}

std::vector<unsigned char> DecodedSignature(const std::wstring& sigPath)
{
    std::string text = zv::test::ReadFileBytes(sigPath);
    std::vector<unsigned char> sig;
    EXPECT_TRUE(zv::DecodeSignatureLine(text.substr(0, text.find('\n')), sig));
    return sig;
}

class SignatureAuth : public ::testing::Test {
protected:
    zv::test::ScratchDir dir{L"signature-auth"};
    PubKeyResource testKey = FileKey(Data(L"test_key.pub"));
};

TEST_F(SignatureAuth, AcceptsFilesSignedWithTheKey)
{
    struct Case {
        const wchar_t* data;
        const wchar_t* sig;
        const wchar_t* key;
    } cases[] = {
        {L"hello.txt", L"hello.txt.sig", L"test_key.pub"},
        {L"empty.bin", L"empty.bin.sig", L"test_key.pub"},
        {L"payload.bin", L"payload.bin.sig", L"test_key.pub"},
        {L"hello.txt", L"hello.txt.big_key.sig", L"big_key.pub"},
    };
    for (const auto& c : cases) {
        PubKeyResource key = FileKey(Data(c.key));
        EXPECT_EQ(zv::CheckFileSignature(Data(c.data), Data(c.sig), &key), AuthStatus::kVerified) << zv::ToUtf8(c.sig);
        EXPECT_EQ(AuthenticateFile(Data(c.data), Data(c.sig), &key), 1) << zv::ToUtf8(c.sig);
    }
}

TEST_F(SignatureAuth, RefusesAndTellsWhy)
{
    std::string hello = zv::test::ReadFileBytes(Data(L"hello.txt"));
    std::string line = zv::test::ReadFileBytes(Data(L"hello.txt.sig"));
    line = line.substr(0, line.find('\n'));
    std::string changed = hello;
    changed[5] ^= 0x20;
    zv::test::WriteFileBytes(dir.File(L"changed.txt"), changed);
    zv::test::WriteFileBytes(dir.File(L"odd.sig"), line.substr(1) + "\n");
    zv::test::WriteFileBytes(dir.File(L"nonhex.sig"), "Z" + line.substr(1) + "\n");
    zv::test::WriteFileBytes(dir.File(L"empty.sig"), "");
    zv::test::WriteFileBytes(dir.File(L"lf-only.sig"), "\n");
    std::string pub = zv::test::ReadFileBytes(Data(L"test_key.pub"));
    zv::test::WriteFileBytes(dir.File(L"truncated.pub"), pub.substr(0, pub.size() - 1));
    zv::test::WriteFileBytes(dir.File(L"header-only.pub"), pub.substr(0, 20));

    struct Case {
        const char* what;
        std::wstring data, sig, key;
        AuthStatus status;
    } cases[] = {
        {"one byte of the data changed", dir.File(L"changed.txt"), Data(L"hello.txt.sig"), Data(L"test_key.pub"), AuthStatus::kMismatch},
        {"signature of another file", Data(L"hello.txt"), Data(L"payload.bin.sig"), Data(L"test_key.pub"), AuthStatus::kMismatch},
        {"odd number of digits", Data(L"hello.txt"), dir.File(L"odd.sig"), Data(L"test_key.pub"), AuthStatus::kSignatureMalformed},
        {"non-hex digit", Data(L"hello.txt"), dir.File(L"nonhex.sig"), Data(L"test_key.pub"), AuthStatus::kSignatureMalformed},
        {"empty signature file", Data(L"hello.txt"), dir.File(L"empty.sig"), Data(L"test_key.pub"), AuthStatus::kSignatureMalformed},
        {"blank first line", Data(L"hello.txt"), dir.File(L"lf-only.sig"), Data(L"test_key.pub"), AuthStatus::kSignatureMalformed},
        {"wrong key", Data(L"hello.txt"), Data(L"hello.txt.sig"), Data(L"other_key.pub"), AuthStatus::kMismatch},
        {"key of another size", Data(L"hello.txt"), Data(L"hello.txt.sig"), Data(L"big_key.pub"), AuthStatus::kSignatureSizeWrong},
        {"missing key file", Data(L"hello.txt"), Data(L"hello.txt.sig"), dir.File(L"none.pub"), AuthStatus::kKeyMissing},
        {"truncated key file", Data(L"hello.txt"), Data(L"hello.txt.sig"), dir.File(L"truncated.pub"), AuthStatus::kKeyInvalid},
        {"key header only", Data(L"hello.txt"), Data(L"hello.txt.sig"), dir.File(L"header-only.pub"), AuthStatus::kKeyInvalid},
        {"private key PEM as key", Data(L"hello.txt"), Data(L"hello.txt.sig"), Data(L"test_key.pem"), AuthStatus::kKeyInvalid},
    };
    for (const auto& c : cases) {
        PubKeyResource key = FileKey(c.key);
        EXPECT_EQ(zv::CheckFileSignature(c.data, c.sig, &key), c.status) << c.what;
        EXPECT_EQ(AuthenticateFile(c.data, c.sig, &key), 0) << c.what;
    }
}

TEST_F(SignatureAuth, NoKeySourceIsRefused)
{
    EXPECT_EQ(AuthenticateFile(Data(L"hello.txt"), Data(L"hello.txt.sig"), nullptr), 0);
    EXPECT_EQ(zv::CheckFileSignature(Data(L"hello.txt"), Data(L"hello.txt.sig"), nullptr), AuthStatus::kNoKeySource);
    std::vector<unsigned char> sig = DecodedSignature(Data(L"hello.txt.sig"));
    EXPECT_EQ(VerifySignature(nullptr, 0, sig.data(), sig.size(), nullptr), 0);
}

TEST_F(SignatureAuth, VerifiesBytesInMemory)
{
    std::vector<unsigned char> data = Bytes(Data(L"payload.bin"));
    std::vector<unsigned char> sig = DecodedSignature(Data(L"payload.bin.sig"));
    EXPECT_EQ(VerifySignature(data.data(), data.size(), sig.data(), sig.size(), &testKey), 1);

    std::vector<unsigned char> changed = data;
    changed.back() ^= 0x01;
    EXPECT_EQ(zv::CheckSignature(changed.data(), changed.size(), sig.data(), sig.size(), &testKey), AuthStatus::kMismatch);
    EXPECT_EQ(VerifySignature(data.data(), data.size() - 1, sig.data(), sig.size(), &testKey), 0);
    EXPECT_EQ(VerifySignature(data.data(), data.size(), sig.data(), sig.size() - 1, &testKey), 0);
    EXPECT_EQ(VerifySignature(data.data(), data.size(), sig.data(), 0, &testKey), 0);
    EXPECT_EQ(VerifySignature(data.data(), data.size(), nullptr, sig.size(), &testKey), 0);
    EXPECT_EQ(VerifySignature(nullptr, 10, sig.data(), sig.size(), &testKey), 0);

    // Zero-length data is hashed like any other.
    std::vector<unsigned char> emptySig = DecodedSignature(Data(L"empty.bin.sig"));
    EXPECT_EQ(VerifySignature(nullptr, 0, emptySig.data(), emptySig.size(), &testKey), 1);
    EXPECT_EQ(VerifySignature(nullptr, 0, sig.data(), sig.size(), &testKey), 0);
}

TEST_F(SignatureAuth, KeyBlobComesFromTheResourceBeforeTheFile)
{
    PubKeyResource key;
    key.module = ::GetModuleHandleW(nullptr);
    key.resourceName = L"QUORKEY_TEST";
    key.resourceType = L"PUBKEY";
    key.keyFilePath = Data(L"other_key.pub");
    EXPECT_EQ(key.GetKeyBlob(), Bytes(Data(L"test_key.pub")));
    EXPECT_EQ(AuthenticateFile(Data(L"hello.txt"), Data(L"hello.txt.sig"), &key), 1);

    // No such resource: the key file is used.
    key.resourceName = L"NO_SUCH_KEY";
    EXPECT_EQ(key.GetKeyBlob(), Bytes(Data(L"other_key.pub")));
    EXPECT_EQ(zv::CheckFileSignature(Data(L"hello.txt"), Data(L"hello.txt.sig"), &key), AuthStatus::kMismatch);

    // A resource that holds no key is not replaced by the file beside the program.
    key.resourceName = L"BROKENKEY_TEST";
    key.keyFilePath = Data(L"test_key.pub");
    EXPECT_EQ(key.GetKeyBlob(), Bytes(Data(L"hello.txt")));
    EXPECT_EQ(zv::CheckFileSignature(Data(L"hello.txt"), Data(L"hello.txt.sig"), &key), AuthStatus::kKeyInvalid);
}

TEST_F(SignatureAuth, KeyBlobFromTheFileOrNothing)
{
    EXPECT_EQ(testKey.GetKeyBlob(), Bytes(Data(L"test_key.pub")));
    EXPECT_TRUE(PubKeyResource().GetKeyBlob().empty());
    EXPECT_TRUE(FileKey(dir.File(L"none.pub")).GetKeyBlob().empty());
    zv::test::WriteFileBytes(dir.File(L"huge.pub"), std::string(zv::kMaxPublicKeyBlobSize + 1, '\x06'));
    EXPECT_TRUE(FileKey(dir.File(L"huge.pub")).GetKeyBlob().empty());

    // A key file someone holds open exclusively cannot be read.
    zv::fw::CHandle locked(::CreateFileW(Data(L"test_key.pub").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(locked);
    EXPECT_TRUE(testKey.GetKeyBlob().empty());
    EXPECT_EQ(zv::CheckFileSignature(Data(L"hello.txt"), Data(L"hello.txt.sig"), &testKey), AuthStatus::kKeyMissing);
}

// The named container that a full provider context would open or create.
constexpr wchar_t kKeyContainer[] = L"Quorvane Update Container";

bool KeyContainerExists()
{
    zv::CCryptProv prov;
    return ::CryptAcquireContextW(prov.Put(), kKeyContainer, nullptr, PROV_RSA_FULL, 0) != FALSE;
}

TEST_F(SignatureAuth, VerifiesWithoutAnyKeyContainer)
{
    zv::CCryptProv prov;
    // Start without the container (CRYPT_DELETEKEYSET leaves no handle).
    ::CryptAcquireContextW(prov.Put(), kKeyContainer, nullptr, PROV_RSA_FULL, CRYPT_DELETEKEYSET);
    prov.Release();
    ASSERT_FALSE(KeyContainerExists());

    EXPECT_EQ(AuthenticateFile(Data(L"hello.txt"), Data(L"hello.txt.sig"), &testKey), 1);
    // A verify-only context leaves nothing in the user's profile.
    EXPECT_FALSE(KeyContainerExists()) << "verification created a key container";
    // Second call: still nothing to open or create.
    EXPECT_EQ(AuthenticateFile(Data(L"payload.bin"), Data(L"payload.bin.sig"), &testKey), 1);
    EXPECT_FALSE(KeyContainerExists());
}

TEST_F(SignatureAuth, DataStillBeingWrittenIsNotAuthenticated)
{
    std::wstring path = dir.File(L"payload.bin");
    zv::test::WriteFileBytes(path, zv::test::ReadFileBytes(Data(L"payload.bin")));
    {
        // A reader that lets others read does not stand in the way.
        zv::fw::CHandle reader(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(reader);
        EXPECT_EQ(AuthenticateFile(path, Data(L"payload.bin.sig"), &testKey), 1);
    }
    // A writer does: after the open retries the file is refused.
    zv::fw::CHandle writer(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(writer);
    EXPECT_EQ(zv::CheckFileSignature(path, Data(L"payload.bin.sig"), &testKey), AuthStatus::kDataUnreadable);
}

TEST_F(SignatureAuth, PathsOutsideTheAnsiCodePage)
{
    // "Zürich-ключ" and "данные" in UTF-16: the files are opened by their wide names.
    std::wstring keyPath = dir.File(L"Z\u00fcrich-\u043a\u043b\u044e\u0447.pub");
    std::wstring dataPath = dir.File(L"\u0434\u0430\u043d\u043d\u044b\u0435.bin");
    zv::test::WriteFileBytes(keyPath, zv::test::ReadFileBytes(Data(L"test_key.pub")));
    zv::test::WriteFileBytes(dataPath, zv::test::ReadFileBytes(Data(L"payload.bin")));
    zv::test::WriteFileBytes(dataPath + L".sig", zv::test::ReadFileBytes(Data(L"payload.bin.sig")));
    PubKeyResource key = FileKey(keyPath);
    EXPECT_EQ(AuthenticateFile(dataPath, dataPath + L".sig", &key), 1);
}

TEST(KeyFileBesideModule, PointsAtQuorkeyPubAndLogsIt)
{
    PubKeyResource key;
    std::vector<std::wstring> lines;
    {
        zv::test::LogLines log(2);
        zv::SetKeyFileBesideModule(key);
        lines = log.All();
    }

    EXPECT_EQ(key.keyFilePath, GetModuleDirectory() + L"\\quorkey.pub");
    EXPECT_TRUE(key.resourceName.empty());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], L"[Info1] ZV: ZvLib: ****** Using public key file '" + key.keyFilePath +
                              L"' if resource option is not available\n");
}

} // namespace
