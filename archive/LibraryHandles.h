#pragma once

// Owners of the archive library's own handles, for the code in this folder that calls the
// library directly. Each handle is closed by its owner on every way out.

#include <StormLib.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

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

// Reads one of the archive's tables (hash or block) whose entry count sizeClass gives.
template <typename Entry>
bool ReadLibraryTable(HANDLE mpq, SFileInfoClass sizeClass, SFileInfoClass tableClass,
                      std::vector<Entry>& table) {
    DWORD count = 0;
    if (!SFileGetFileInfo(mpq, sizeClass, &count, sizeof count, nullptr))
        return false;
    table.resize(count);
    const auto bytes = static_cast<DWORD>(count * sizeof(Entry));
    return count == 0 || SFileGetFileInfo(mpq, tableClass, table.data(), bytes, nullptr);
}

// One value the library tells of an archive or a member; zero when it cannot.
template <typename Value> Value FileInfo(HANDLE handle, SFileInfoClass infoClass) {
    Value value{};
    if (!SFileGetFileInfo(handle, infoClass, &value, sizeof value, nullptr))
        return Value{};
    return value;
}

// The name the library gives the member stored in a block when no name of it is known.
inline std::string PseudoName(DWORD blockIndex) {
    char name[32];
    std::snprintf(name, sizeof name, "File%08u.xxx", static_cast<unsigned>(blockIndex));
    return name;
}

} // namespace parlune::Kestmarlapi
