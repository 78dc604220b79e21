#include "archive/Kestmarlapi.h"

#include "archive/ArchiveFormat.h"
#include "archive/LibraryHandles.h"
#include "archive/LibraryOpen.h"
#include "archive/MemberCheck.h"
#include "archive/MpqCrypto.h"
#include "archive/SigningMath.h"
#include "platform/Utf8Path.h"

#include <algorithm>
#include <optional>
#include <strings.h>
#include <system_error>
#include <vector>

namespace parlune::Kestmarlapi {

struct Archive {
    LibraryArchive library;
    std::string path;
    bool changed = false;
    bool writeFailed = false;
    const ProgressCall* progress = nullptr;

    HANDLE mpq() const { return library.get(); }
};

struct ArchiveFile {
    LibraryFile library;
    bool damaged = false;
};

void ArchiveCloser::operator()(Archive* archive) const {
    delete archive;
}

void ArchiveFileCloser::operator()(ArchiveFile* file) const {
    delete file;
}

namespace {

bool isAttributesName(const std::string& name) {
    return strcasecmp(name.c_str(), kAttributesName) == 0;
}

// Look-ups use the neutral locale; the setting is process-wide, so make sure of it.
void useNeutralLocale() {
    SFileSetLocale(LANG_NEUTRAL);
}

// The library looks members up in a process-wide locale. This sets it for the look-ups of one
// scope and then back to neutral, which every other look-up expects.
class LocaleScope {
public:
    explicit LocaleScope(Locale locale) { SFileSetLocale(locale); }
    ~LocaleScope() { SFileSetLocale(LANG_NEUTRAL); }
    LocaleScope(const LocaleScope&) = delete;
    LocaleScope& operator=(const LocaleScope&) = delete;
};

// Opens the entry of name stored for locale. For a locale that has none, the library would
// open the neutral entry instead; that is refused here as absent (ERROR_FILE_NOT_FOUND).
LibraryFile openEntry(HANDLE mpq, const std::string& name, Locale locale) {
    LibraryFile file;
    {
        const LocaleScope scope(locale);
        file = OpenLibraryFile(mpq, name.c_str());
    }
    if (file && FileInfo<DWORD>(file.get(), SFileInfoLocale) != locale) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    return file;
}

enum class Registration { Absent, Registered, Unusable };

// The library asserts when it replaces or deletes a member whose name it has never seen (an
// archive without a complete "(listfile)"), or one that it knows under another name (two
// names whose hash entries share a block). Opening the member once by name registers the
// name. Unusable when the member is known under another name or cannot be opened although it
// is there: it must then be left alone.
Registration registerName(HANDLE mpq, const std::string& name, Locale locale) {
    const LibraryFile file = openEntry(mpq, name, locale);
    if (!file) // absent, or merely unreadable
        return GetLastError() == ERROR_FILE_NOT_FOUND ? Registration::Absent
                                                      : Registration::Unusable;
    char knownName[MAX_PATH] = {};
    const bool sameName =
        SFileGetFileName(file.get(), knownName) && strcasecmp(knownName, name.c_str()) == 0;
    return sameName ? Registration::Registered : Registration::Unusable;
}

// Why the library opened the archive read-only, or nothing when it may be written. It opens
// an archive that it finds malformed read-only.
std::optional<OpenFailure> readOnlyReason(HANDLE mpq) {
    DWORD flags = 0;
    if (!SFileGetFileInfo(mpq, SFileMpqFlags, &flags, sizeof flags, nullptr))
        return OpenFailure::NotAnArchive;
    if ((flags & MPQ_FLAG_READ_ONLY) == 0)
        return std::nullopt;
    return FoundMalformed(mpq) ? OpenFailure::Protected : OpenFailure::NotAnArchive;
}

// Removes "(attributes)" through the pseudo-name of its block; by name the library refuses,
// and after any other change it would be rebuilt on close, so then it is too late.
DeleteResult removeAttributes(HANDLE mpq, bool changed) {
    DWORD blockIndex = 0;
    { // the member is closed again before it is removed
        const LibraryFile file = OpenLibraryFile(mpq, kAttributesName);
        if (!file)
            return DeleteResult::Absent;
        if (changed || !SFileGetFileInfo(file.get(), SFileInfoFileIndex, &blockIndex,
                                         sizeof blockIndex, nullptr))
            return DeleteResult::Failed;
    }
    if (!SFileRemoveFile(mpq, PseudoName(blockIndex).c_str(), 0))
        return DeleteResult::Failed;
    return DeleteResult::Deleted;
}

void WINAPI reportCompaction(void* user, DWORD, ULONGLONG done, ULONGLONG total) {
    const auto* archive = static_cast<const Archive*>(user);
    if (archive->progress && *archive->progress)
        (*archive->progress)(done, total);
}

} // namespace

ArchiveHandle SFileOpenArchive(const std::string& path, OpenFailure* failure) {
    useNeutralLocale();
    // The names in "(listfile)" are not needed for reading, and the library would read that
    // member before it could be checked.
    const DWORD openFlags = MPQ_OPEN_READ_ONLY | MPQ_OPEN_NO_LISTFILE | MPQ_OPEN_NO_ATTRIBUTES;
    LibraryArchive library = OpenCheckedArchive(path, openFlags, failure);
    if (!library)
        return nullptr;
    ArchiveHandle archive(new Archive{std::move(library), path});
    if (!EveryMemberReachable(archive->mpq()) || !InternalMembersAreSafe(path, archive->mpq()) ||
        !EveryMemberIsSafeToCopy(path, archive->mpq())) {
        ReportFailure(failure, OpenFailure::NotAnArchive);
        return nullptr;
    }
    return archive;
}

ArchiveFileHandle SFileOpenFileEx(Archive& archive, const std::string& name, Locale locale) {
    LibraryFile file = openEntry(archive.mpq(), name, locale);
    if (!file)
        return nullptr;
    const bool damaged = !MemberDataIsSafe(archive.path, archive.mpq(), file.get());
    return ArchiveFileHandle(new ArchiveFile{std::move(file), damaged});
}

std::vector<Locale> MemberLocales(Archive& archive, const std::string& name) {
    std::vector<TMPQHash> hashes;
    std::vector<TMPQBlock> blocks;
    if (!ReadLibraryTable(archive.mpq(), SFileMpqHashTableSize, SFileMpqHashTable, hashes) ||
        !ReadLibraryTable(archive.mpq(), SFileMpqBlockTableSize, SFileMpqBlockTable, blocks))
        return {};
    const std::uint32_t nameA = HashString(name, HashType::NameA);
    const std::uint32_t nameB = HashString(name, HashType::NameB);
    std::vector<Locale> locales;
    for (const TMPQHash& hash : hashes) {
        const DWORD index = hash.dwBlockIndex;
        // The library opens no entry for another platform than the default one.
        if (hash.dwName1 != nameA || hash.dwName2 != nameB || hash.lcLocale == LANG_NEUTRAL ||
            hash.Platform != 0 || index >= blocks.size() ||
            (blocks[index].dwFlags & MPQ_FILE_EXISTS) == 0)
            continue;
        locales.push_back(hash.lcLocale);
    }
    std::sort(locales.begin(), locales.end());
    locales.erase(std::unique(locales.begin(), locales.end()), locales.end());
    return locales;
}

std::uint64_t SFileGetFileSize(ArchiveFile& file) {
    DWORD high = 0;
    const DWORD low = ::SFileGetFileSize(file.library.get(), &high);
    if (low == SFILE_INVALID_SIZE)
        return 0;
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

bool SFileReadFile(ArchiveFile& file, void* block, std::uint32_t size, std::uint32_t* read) {
    DWORD got = 0;
    if (file.damaged) {
        *read = 0;
        return false;
    }
    const bool ok = ::SFileReadFile(file.library.get(), block, size, &got, nullptr);
    *read = got;
    // A short last block reports "end of file"; only other errors mean damaged data.
    return ok || GetLastError() == ERROR_HANDLE_EOF;
}

ArchiveHandle MpqOpenArchiveForUpdate(const std::string& path, OpenFailure* failure) {
    useNeutralLocale();
    CompleteSigningMath();
    LibraryArchive library = OpenCheckedArchive(path, 0, failure);
    if (!library)
        return nullptr;
    if (const auto refusal = readOnlyReason(library.get())) {
        ReportFailure(failure, *refusal);
        return nullptr;
    }
    return ArchiveHandle(new Archive{std::move(library), path});
}

ArchiveHandle MpqCreateArchive(const std::string& path, std::uint32_t memberCount) {
    useNeutralLocale();
    SFILE_CREATE_MPQ create{};
    create.cbSize = sizeof create;
    create.dwMpqVersion = MPQ_FORMAT_VERSION_1;
    create.dwFileFlags1 = MPQ_FILE_DEFAULT_INTERNAL;
    create.dwSectorSize = 0x1000;
    // Half full at most, as map editors keep the hash table; the library rounds it up.
    create.dwMaxFileCount = std::max<std::uint32_t>(2 * memberCount + 16, 32);
    HANDLE mpq = nullptr;
    if (!SFileCreateArchive2(PathFromUtf8(path).c_str(), &create, &mpq))
        return nullptr;
    return ArchiveHandle(new Archive{LibraryArchive(mpq), path});
}

bool MpqAddFileFromPieces(Archive& archive, std::uint32_t size, const MemberPieces& pieces,
                          const std::string& name, Locale locale) {
    archive.changed = true;
    if (registerName(archive.mpq(), name, locale) == Registration::Unusable) {
        archive.writeFailed = true;
        return false;
    }
    HANDLE file = nullptr;
    bool ok = SFileCreateFile(archive.mpq(), name.c_str(), 0, size, locale,
                              MPQ_FILE_COMPRESS | MPQ_FILE_REPLACEEXISTING, &file);
    std::uint64_t written = 0;
    const auto write = [&](std::string_view piece) {
        if (piece.empty())
            return true;
        written += piece.size();
        return written <= size &&
               SFileWriteFile(file, piece.data(), static_cast<DWORD>(piece.size()),
                              MPQ_COMPRESSION_ZLIB);
    };
    if (ok)
        ok = pieces(write) && written == size;
    // Finishing the file is what closes it.
    if (file != nullptr)
        ok = SFileFinishFile(file) && ok;
    if (!ok)
        archive.writeFailed = true;
    return ok;
}

DeleteResult MpqDeleteFile(Archive& archive, const std::string& name, Locale locale) {
    if (isAttributesName(name))
        return removeAttributes(archive.mpq(), archive.changed);
    archive.changed = true;
    // The library removes what a look-up in the set locale finds, which falls back to the
    // neutral entry: only an entry known to be there may be removed.
    switch (registerName(archive.mpq(), name, locale)) {
    case Registration::Absent:
        return DeleteResult::Absent;
    case Registration::Unusable:
        return DeleteResult::Failed;
    case Registration::Registered:
        break;
    }
    const LocaleScope scope(locale);
    return SFileRemoveFile(archive.mpq(), name.c_str(), 0) ? DeleteResult::Deleted
                                                           : DeleteResult::Failed;
}

CompactResult MpqCompactArchive(Archive& archive, const ProgressCall& progress) {
    archive.changed = true;
    // Compaction first writes the pending changes ("(listfile)" and the tables) but ignores
    // whether that worked: on a full disk it would then build a map without "(listfile)" and
    // report success. Write them here, where the result can be checked.
    if (!SFileFlushArchive(archive.mpq())) {
        archive.writeFailed = true;
        return CompactResult::Failed;
    }
    archive.progress = &progress;
    SFileSetCompactCallback(archive.mpq(), reportCompaction, &archive);
    const bool ok = SFileCompactArchive(archive.mpq(), nullptr, false);
    const DWORD error = GetLastError();
    SFileSetCompactCallback(archive.mpq(), nullptr, nullptr);
    archive.progress = nullptr;
    if (ok)
        return CompactResult::Compacted;
    return error == ERROR_UNKNOWN_FILE_NAMES ? CompactResult::NamesUnknown : CompactResult::Failed;
}

std::string LastFailureReason() {
    const DWORD code = GetLastError();
    switch (code) {
    case ERROR_SUCCESS:
        return "refused by the archive library";
    case ERROR_FILE_CORRUPT:
        return "damaged data";
    case ERROR_UNKNOWN_FILE_NAMES:
        return "the archive does not name all its members";
    case ERROR_INTERNAL_FILE:
        return "a member the archive library keeps for itself";
    }
#ifdef _WIN32
    return std::system_category().message(static_cast<int>(code));
#else
    // The library reports the system's errno values.
    return std::generic_category().message(static_cast<int>(code));
#endif
}

bool MpqCloseUpdatedArchive(ArchiveHandle archive) {
    const bool closed = ::SFileCloseArchive(archive->library.release());
    return closed && !archive->writeFailed;
}

} // namespace parlune::Kestmarlapi
