#include "archive/LibraryOpen.h"

#include "archive/HeaderCheck.h"
#include "platform/Utf8Path.h"

namespace parlune::Kestmarlapi {

void ReportFailure(OpenFailure* out, OpenFailure failure) {
    if (out != nullptr)
        *out = failure;
}

LibraryArchive OpenCheckedArchive(const std::string& path, DWORD openFlags, OpenFailure* failure) {
    if (const auto refusal = HeaderFailure(path)) {
        ReportFailure(failure, *refusal);
        return nullptr;
    }
    HANDLE mpq = nullptr;
    if (!::SFileOpenArchive(PathFromUtf8(path).c_str(), 0, openFlags, &mpq)) {
        ReportFailure(failure, OpenFailure::NotAnArchive);
        return nullptr;
    }
    return LibraryArchive(mpq);
}

bool FoundMalformed(HANDLE mpq) {
    return (FileInfo<DWORD>(mpq, SFileMpqFlags) & MPQ_FLAG_MALFORMED) != 0;
}

} // namespace parlune::Kestmarlapi
