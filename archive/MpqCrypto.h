#pragma once

// The archive format's table encryption and name hashing, for the few checks the binding
// makes on raw archive bytes before the library reads them.

#include <cstdint>
#include <span>
#include <string_view>

namespace parlune::Kestmarlapi {

enum class HashType : std::uint32_t { TableOffset = 0, NameA = 1, NameB = 2, FileKey = 3 };

std::uint32_t HashString(std::string_view text, HashType type);

void DecryptWords(std::span<std::uint32_t> words, std::uint32_t key);
void EncryptWords(std::span<std::uint32_t> words, std::uint32_t key);

} // namespace parlune::Kestmarlapi
