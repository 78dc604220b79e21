#include "archive/WeakSignature.h"

#include "archive/SigningMath.h"

// The header declares the big-number library's math table only when told that it backs it.
#define LTM_DESC
#include <tomcrypt.h>

#include <algorithm>
#include <string_view>

namespace parlune::Kestmarlapi {

namespace {

// The private key of the weak signature, which every map reader knows: an RSA key of 512 bits
// in its DER form, base64-encoded.
constexpr std::string_view kWeakPrivateKey =
    "MIIBOQIBAAJBAJJidwS/uILMBSO5DLGsBFknIXWWjQJe2kfdfEk3G/j66w4KkhZ1"
    "V61Rt4zLaMVCYpDun7FLwRjkMDSepO1q2DcCAwEAAQJANtiztVDMJh2hE1hjPDKy"
    "UmEJ9U/aN3gomuKOjbQbQ/bWWcM/WfhSVHmPqtqh/bQI2UXFr0rnXngeteZHLr/b"
    "8QIhAMuWriSKGMACw18/rVVfUrThs915odKBH1Alr3vMVVzZAiEAuBHPSQkgwcb6"
    "L4MWaiKuOzq08mSyNqPeN8oSy18q848CIHeMn+3s+eOmu7su1UYQl6yH7OrdBd1q"
    "3UxfFNEJiAbhAiAqxdCyOxHGlbM7aS3DOg3cq5ayoN2cvtV7h1R4t8OmVwIgF+5z"
    "/6vkzBUsZhd8Nwyis+MeQYH0rpFpMKdTlqmPF2Q=";
// PKCS #1 v1.5 padding; the library's releases name the value differently.
constexpr int kPkcs1V15Padding = 1;
constexpr unsigned long kSignatureSize = 64;
constexpr std::size_t kSignatureOffset = 8;

// Owns an imported key.
struct RsaKey {
    rsa_key key{};
    bool imported = false;
    ~RsaKey() {
        if (imported)
            rsa_free(&key);
    }
};

bool importWeakKey(RsaKey& out) {
    unsigned char der[512];
    unsigned long derSize = sizeof der;
    if (base64_decode(reinterpret_cast<const unsigned char*>(kWeakPrivateKey.data()),
                      kWeakPrivateKey.size(), der, &derSize) != CRYPT_OK)
        return false;
    out.imported = rsa_import(der, derSize, &out.key) == CRYPT_OK;
    return out.imported;
}

} // namespace

std::optional<WeakSignatureMember> SignWeakly(const Md5Digest& digest) {
    CompleteSigningMath();
    const int md5 = register_hash(&md5_desc);
    RsaKey key;
    if (md5 < 0 || !importWeakKey(key))
        return std::nullopt;
    WeakSignatureMember member{};
    unsigned char* signature = member.data() + kSignatureOffset;
    unsigned long size = kSignatureSize;
    if (rsa_sign_hash_ex(digest.data(), digest.size(), signature, &size, kPkcs1V15Padding, nullptr,
                         0, md5, 0, &key.key) != CRYPT_OK ||
        size != kSignatureSize)
        return std::nullopt;
    std::reverse(signature, signature + kSignatureSize); // the format stores it lowest byte first
    return member;
}

struct Md5::State {
    hash_state hash;
};

Md5::Md5() : state(std::make_unique<State>()) {
    md5_init(&state->hash);
}

Md5::~Md5() = default;

void Md5::Add(const unsigned char* bytes, std::size_t size) {
    md5_process(&state->hash, bytes, static_cast<unsigned long>(size));
}

Md5Digest Md5::Finish() {
    Md5Digest digest{};
    md5_done(&state->hash, digest.data());
    return digest;
}

} // namespace parlune::Kestmarlapi
