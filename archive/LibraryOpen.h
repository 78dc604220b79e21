#pragma once

// Opening an archive with the library once the binding's checks of its header have passed, for
// the code in this folder that reads the library's view of an archive.

#include "archive/Kestmarlapi.h"
#include "archive/LibraryHandles.h"

#include <optional>
#include <string>

namespace parlune::Kestmarlapi {

// Stores failure in *out when out is given.
void ReportFailure(OpenFailure* out, OpenFailure failure);

// Opens the archive with the library once its header has passed the check. Empty when it did
// not open, with the reason in *failure.
LibraryArchive OpenCheckedArchive(const std::string& path, DWORD openFlags, OpenFailure* failure);

// Whether the library found the archive malformed, the mark of a protector's work: once the
// header check has passed an archive, what the library can still find malformed are header
// fields that the game ignores (the header size, the version, a table said to start inside the
// header).
bool FoundMalformed(HANDLE mpq);

} // namespace parlune::Kestmarlapi
