#pragma once

// Owners of the archive library's own handles, for the code in this folder that calls the
// library directly. Each handle is closed by its owner on every way out.

#include <StormLib.h>

#include <memory>

namespace parlune::Kestmarlapi {

struct LibraryArchiveCloser {
    void operator()(HANDLE mpq) const { ::SFileCloseArchive(mpq); }
};
struct LibraryFileCloser {
    void operator()(HANDLE file) const { ::SFileCloseFile(file); }
};
struct LibraryListingCloser {
    void operator()(HANDLE listing) const { SListFileFindClose(listing); }
};

// The library's handles are plain pointers.
using LibraryArchive = std::unique_ptr<void, LibraryArchiveCloser>;
using LibraryFile = std::unique_ptr<void, LibraryFileCloser>;
using LibraryListing = std::unique_ptr<void, LibraryListingCloser>;

// Opens a member of the library's archive mpq by name or by its block's pseudo-name; empty
// when the library cannot open it, with the reason left in GetLastError.
inline LibraryFile OpenLibraryFile(HANDLE mpq, const char* name) {
    HANDLE file = nullptr;
    if (!::SFileOpenFileEx(mpq, name, SFILE_OPEN_FROM_MPQ, &file))
        return nullptr;
    return LibraryFile(file);
}

} // namespace parlune::Kestmarlapi
