#pragma once

// Binding to the MPQ archive library. This module is the only place that includes the
// library's header: every library failure becomes a plain result here. Member names use
// backslash separators and are looked up without regard to letter case.

#include "archive/Pieces.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace parlune::Kestmarlapi {

// The language a member is stored for, as a Windows language identifier. One name can stand in
// an archive once per locale; the neutral entry is the one every player gets unless there is one
// for the player's language.
using Locale = std::uint16_t;
inline constexpr Locale kNeutralLocale = 0;

struct Archive;
struct ArchiveFile;

// Closing a handle is its deleter's work: an archive or member is closed on every way out of
// the code that opened it. An archive open for update that is closed this way is abandoned:
// only MpqCloseUpdatedArchive commits it.
struct ArchiveCloser {
    void operator()(Archive* archive) const;
};
struct ArchiveFileCloser {
    void operator()(ArchiveFile* file) const;
};
using ArchiveHandle = std::unique_ptr<Archive, ArchiveCloser>;
using ArchiveFileHandle = std::unique_ptr<ArchiveFile, ArchiveFileCloser>;

// Why an archive was not opened.
enum class OpenFailure {
    NotAnArchive, // not an archive, or one too damaged or hostile to be read safely
    Protected,    // a map protector's header, which the library reads as malformed
};

// --- Reading -------------------------------------------------------------------------------

// Opens the archive at path for reading. Empty when the file is not an archive that could be
// opened; *failure, when given, then says why.
ArchiveHandle SFileOpenArchive(const std::string& path, OpenFailure* failure = nullptr);

// Opens the entry of a member of this archive (never a file on disk) stored for locale. Empty
// exactly when the archive has no such entry; another locale's entry is never taken instead.
ArchiveFileHandle SFileOpenFileEx(Archive& archive, const std::string& name,
                                  Locale locale = kNeutralLocale);

// The locales other than neutral under which the archive holds name, ascending. They are found
// by the name's hashes in the hash table, so an archive without "(listfile)" is covered too.
std::vector<Locale> MemberLocales(Archive& archive, const std::string& name);

// The size the archive declares for an open member, in bytes.
std::uint64_t SFileGetFileSize(ArchiveFile& file);

// Reads up to size bytes into block and stores the count delivered in *read: size while more
// data may follow, fewer at the end of the member. False when the member's data is damaged
// (it cannot be decompressed or decrypted); reaching the end is not a failure.
bool SFileReadFile(ArchiveFile& file, void* block, std::uint32_t size, std::uint32_t* read);

// --- Writing -------------------------------------------------------------------------------

// Creates a new archive at path, after the bytes already there (a map header), open for
// update, with room for memberCount members and a "(listfile)" that names them. Empty when the
// file cannot be made.
ArchiveHandle MpqCreateArchive(const std::string& path, std::uint32_t memberCount);

// Opens an existing archive for update. An archive with a weak signature is signed again when
// it is written. Empty when the file cannot be opened for writing, including an archive the
// library only opens read-only; nothing is changed then, and *failure, when given, says why:
// Protected when the library found the archive malformed, the mark of a protector's header.
ArchiveHandle MpqOpenArchiveForUpdate(const std::string& path, OpenFailure* failure = nullptr);

// Stores the size bytes that pieces hands over, in order, as the member name in locale,
// compressed with deflate, replacing the entry of that name and locale. False when any library
// call failed or the pieces do not add up to size; the archive must then be abandoned, because
// the old member may already be gone.
bool MpqAddFileFromPieces(Archive& archive, std::uint32_t size, const MemberPieces& pieces,
                          const std::string& name, Locale locale = kNeutralLocale);

enum class DeleteResult {
    Deleted,
    Absent,
    Failed, // the member is there and stays
};

// Deletes the entry of the member stored for locale. "(attributes)" can only be deleted before
// any other change (the library would rebuild it on closing otherwise); later it is Failed.
DeleteResult MpqDeleteFile(Archive& archive, const std::string& name,
                           Locale locale = kNeutralLocale);

enum class CompactResult {
    Compacted,
    NamesUnknown, // the archive lacks a complete "(listfile)"; it stays consistent, uncompacted
    Failed,
};

// Rewrites the archive without the space left by deleted and replaced members.
CompactResult MpqCompactArchive(Archive& archive, const ProgressCall& progress = {});

// The reason for the library's last failure on this thread, as a short sentence ("No space left
// on device", "damaged data").
std::string LastFailureReason();

// Commits every change and closes the archive. False when any write on this handle failed or
// the final flush failed: the file must not be trusted then.
bool MpqCloseUpdatedArchive(ArchiveHandle archive);

} // namespace parlune::Kestmarlapi
