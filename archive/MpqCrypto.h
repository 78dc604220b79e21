#pragma once

// The archive format's encryption and name hashing, for the checks the binding makes on raw
// archive bytes before the library reads them and for the archives it writes itself.

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace parlune::Kestmarlapi {

enum class HashType : std::uint32_t { TableOffset = 0, NameA = 1, NameB = 2, FileKey = 3 };

using CryptTable = std::array<std::uint32_t, 0x500>;

// The format's table of values that hashing and encryption draw from.
const CryptTable& CryptValues();

std::uint32_t HashString(std::string_view text, HashType type);

void DecryptWords(std::span<std::uint32_t> words, std::uint32_t key);
void EncryptWords(std::span<std::uint32_t> words, std::uint32_t key);

} // namespace parlune::Kestmarlapi
