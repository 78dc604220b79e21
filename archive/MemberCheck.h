#pragma once

// Checks of an archive's members, made on the raw bytes before the archive library reads them:
// the library trusts the sizes, offsets and methods it finds, and a damaged or hostile map
// would make it read past its buffers, loop for ever or drop a member silently.

#include "archive/LibraryHandles.h"

#include <string>

namespace parlune::Kestmarlapi {

// The library silently drops a member whose block lies outside the archive or declares an
// impossible size, and the member then looks absent: a run would prune the strings it refers
// to. It also trips over one block named by two different names when it replaces either.
// True when every block that the hash table names is sound, has one name, and is one the
// library can read.
bool EveryMemberReachable(HANDLE mpq);

// True when the library can read the member open as file, of the archive at path, without
// tripping over its stored form.
bool MemberDataIsSafe(const std::string& path, HANDLE mpq, HANDLE file);

// The library reads "(listfile)" and "(attributes)" by itself when it opens a map for update:
// true when both are safe to read.
bool InternalMembersAreSafe(const std::string& path, HANDLE mpq);

// Compaction copies every member, reading the tables of each: true when all of them are safe
// to read.
bool EveryMemberIsSafeToCopy(const std::string& path, HANDLE mpq);

} // namespace parlune::Kestmarlapi
