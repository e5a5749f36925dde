#include "updater/transfer/pubkey_blob.h"

#include "support/test_paths.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes Fixture(const wchar_t* name)
{
    std::string bytes = zv::test::ReadFileBytes(zv::test::SourcePath(std::wstring(L"tests/data/auth/") + name));
    return Bytes(bytes.begin(), bytes.end());
}

void PutLe32(Bytes& blob, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) blob[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

TEST(PublicKeyBlob, ReadsTheFixtureKey)
{
    Bytes blob = Fixture(L"test_key.pub");
    ASSERT_EQ(blob.size(), 276u);
    auto key = zv::ParsePublicKeyBlob(blob.data(), blob.size());
    ASSERT_TRUE(key.has_value());
    EXPECT_EQ(key->bits, 2048u);
    EXPECT_EQ(key->exponent, 65537u);
    ASSERT_EQ(key->modulus.size(), 256u);
    // Big-endian in the record: the blob's last byte is the modulus' most significant.
    EXPECT_EQ(key->modulus.front(), blob.back());
    EXPECT_EQ(key->modulus.back(), blob[20]);
    EXPECT_GE(key->modulus.front(), 0x80); // a 2048-bit modulus has its top bit set
}

TEST(PublicKeyBlob, BuildIsTheInverseOfParse)
{
    for (const wchar_t* name : {L"test_key.pub", L"other_key.pub", L"big_key.pub"}) {
        Bytes blob = Fixture(name);
        auto key = zv::ParsePublicKeyBlob(blob.data(), blob.size());
        ASSERT_TRUE(key.has_value());
        EXPECT_EQ(zv::BuildPublicKeyBlob(*key), blob);
    }
}

TEST(PublicKeyBlob, KeyExchangeAlgorithmIsAcceptedToo)
{
    Bytes blob = Fixture(L"test_key.pub");
    PutLe32(blob, 4, zv::kAlgRsaKeyx);
    EXPECT_TRUE(zv::ParsePublicKeyBlob(blob.data(), blob.size()).has_value());
}

TEST(PublicKeyBlob, BuildPadsAShortModulus)
{
    zv::RsaPublicKey key;
    key.bits = 512;
    key.exponent = 3;
    key.modulus = {0x01, 0x02};
    Bytes blob = zv::BuildPublicKeyBlob(key);
    ASSERT_EQ(blob.size(), 20u + 64u);
    EXPECT_EQ(blob[20], 0x02);
    EXPECT_EQ(blob[21], 0x01);
    EXPECT_EQ(blob.back(), 0x00);
}

TEST(PublicKeyBlob, RefusesAnythingButOneWholeRsaPublicKey)
{
    const Bytes good = Fixture(L"test_key.pub");
    struct Case {
        const char* what;
        void (*mutate)(Bytes&);
    } cases[] = {
        {"private-key blob type", [](Bytes& b) { b[0] = 0x07; }},
        {"simple blob type", [](Bytes& b) { b[0] = 0x01; }},
        {"blob version 1", [](Bytes& b) { b[1] = 0x01; }},
        {"AES algorithm", [](Bytes& b) { PutLe32(b, 4, 0x6610); }},
        {"RSA2 magic (private key)", [](Bytes& b) { PutLe32(b, 8, 0x32415352); }},
        {"bit length not a whole byte", [](Bytes& b) { PutLe32(b, 12, 2047); }},
        {"bit length larger than the data", [](Bytes& b) { PutLe32(b, 12, 2056); }},
        {"bit length smaller than the data", [](Bytes& b) { PutLe32(b, 12, 2040); }},
        {"bit length far too large", [](Bytes& b) { PutLe32(b, 12, 0xFFFFFFF8u); }},
        {"exponent 0", [](Bytes& b) { PutLe32(b, 16, 0); }},
        {"exponent 1", [](Bytes& b) { PutLe32(b, 16, 1); }},
        {"even exponent", [](Bytes& b) { PutLe32(b, 16, 65536); }},
        {"one byte short", [](Bytes& b) { b.pop_back(); }},
        {"one byte too many", [](Bytes& b) { b.push_back(0); }},
        {"header only", [](Bytes& b) { b.resize(20); }},
        {"shorter than the header", [](Bytes& b) { b.resize(19); }},
        {"empty", [](Bytes& b) { b.clear(); }},
        {"zero modulus", [](Bytes& b) { std::fill(b.begin() + 20, b.end(), 0); }},
    };
    for (const auto& c : cases) {
        Bytes blob = good;
        c.mutate(blob);
        EXPECT_FALSE(zv::ParsePublicKeyBlob(blob.data(), blob.size()).has_value()) << c.what;
    }
    EXPECT_FALSE(zv::ParsePublicKeyBlob(nullptr, 276).has_value());
}

TEST(PublicKeyBlob, SmallestAndLargestSizesAreAccepted)
{
    for (uint32_t bits : {zv::kMinRsaBits, zv::kMaxRsaBits}) {
        zv::RsaPublicKey key;
        key.bits = bits;
        key.exponent = 65537;
        key.modulus.assign(bits / 8, 0xC5);
        Bytes blob = zv::BuildPublicKeyBlob(key);
        EXPECT_LE(blob.size(), zv::kMaxPublicKeyBlobSize);
        auto back = zv::ParsePublicKeyBlob(blob.data(), blob.size());
        ASSERT_TRUE(back.has_value()) << bits;
        EXPECT_EQ(back->modulus, key.modulus);
    }
    zv::RsaPublicKey small;
    small.bits = zv::kMinRsaBits - 8;
    small.exponent = 3;
    small.modulus.assign(small.bits / 8, 0xC5);
    Bytes blob = zv::BuildPublicKeyBlob(small);
    EXPECT_FALSE(zv::ParsePublicKeyBlob(blob.data(), blob.size()).has_value());
}

} // namespace
