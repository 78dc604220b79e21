#pragma once

#include "archive/Kestmarlapi.h"

#include <optional>
#include <string>

namespace parlune::Kestmarlapi {

// The archive library trusts the archive header: it allocates the hash and block tables by
// their declared sizes and reads whatever lies at their positions, even past the end of the
// file; it divides by the sector size that the header's shift gives, which wraps to 0 for a
// large shift; and it asserts on headers of another archive format. Nothing when the file at
// path has an archive header and every header the library might take is sane: tables inside
// the file, sectors of at most 32 MiB (maps use 4 KiB), the map archive format. In a
// Warcraft III map that is the first archive header only: member bytes after it that happen
// to look like a header are never read as one. Otherwise why the file must not be opened:
// Protected when that first header is a map protector's, NotAnArchive for anything else.
std::optional<OpenFailure> HeaderFailure(const std::string& path);

} // namespace parlune::Kestmarlapi
