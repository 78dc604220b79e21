#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

namespace parlune::Kestmarlapi {

// The weak signature's member: eight zero bytes, then the signature, lowest byte first.
inline constexpr std::uint32_t kWeakSignatureMemberSize = 72;
using WeakSignatureMember = std::array<unsigned char, kWeakSignatureMemberSize>;
using Md5Digest = std::array<unsigned char, 16>;

// Signs digest, the MD5 of a signed archive with its signature member zeroed, with the weak
// signature's well-known key, as map editors sign maps. Empty when the cryptography library
// fails.
std::optional<WeakSignatureMember> SignWeakly(const Md5Digest& digest);

// Digests bytes in pieces.
class Md5 {
public:
    Md5();
    ~Md5();
    Md5(const Md5&) = delete;
    Md5& operator=(const Md5&) = delete;

    void Add(const unsigned char* bytes, std::size_t size);
    Md5Digest Finish();

private:
    struct State;
    std::unique_ptr<State> state;
};

} // namespace parlune::Kestmarlapi
