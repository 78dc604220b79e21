#pragma once

// Binding to the MPQ archive library. This module is the only place that includes the
// library's header: every library failure becomes a plain result or an ArchiveError here.
// Member names use backslash separators and are looked up without regard to letter case.

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace parlune::Kestmarlapi {

struct Archive;
struct ArchiveFile;
using ArchiveHandle = Archive*;
using ArchiveFileHandle = ArchiveFile*;

// Raised by the helpers below that have no result of their own to report a failure with.
class ArchiveError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Flags of MpqOpenArchiveForUpdate and MpqAddFileFromBufferEx, as the map writer passes them.
inline constexpr std::uint32_t kOpenExisting = 4;
inline constexpr std::uint32_t kAddCompress = 0x200;
inline constexpr std::uint32_t kAddReplaceExisting = 0x001;
inline constexpr std::uint32_t kCompressionDeflate = 2;

// Why an archive was not opened.
enum class OpenFailure {
    NotAnArchive, // not an archive, or one too damaged or hostile to be read safely
    Protected,    // a map protector's header, which the library reads as malformed
};

// --- Reading -------------------------------------------------------------------------------

// Opens the archive at path for reading. False when the file is not an archive that could be
// opened; *archive is then untouched and *failure, when given, says why.
bool SFileOpenArchive(const std::string& path, ArchiveHandle* archive,
                      OpenFailure* failure = nullptr);

// Opens a member of this archive (never a file on disk). False exactly when it is absent.
bool SFileOpenFileEx(ArchiveHandle archive, const std::string& name, ArchiveFileHandle* file);

// The size the archive declares for an open member, in bytes.
std::uint64_t SFileGetFileSize(ArchiveFileHandle file);

// Reads up to size bytes into block and stores the count delivered in *read: size while more
// data may follow, fewer at the end of the member. False when the member's data is damaged
// (it cannot be decompressed or decrypted); reaching the end is not a failure.
bool SFileReadFile(ArchiveFileHandle file, void* block, std::uint32_t size, std::uint32_t* read);

void SFileCloseFile(ArchiveFileHandle file);
void SFileCloseArchive(ArchiveHandle archive);

// --- Writing -------------------------------------------------------------------------------

// Opens an existing archive for update and removes its "(attributes)" member at once: the
// library can only drop that member before any other change, and would rebuild it otherwise.
// An archive with a weak signature is signed again when it is written. False when the file
// cannot be opened for writing, including an archive the library only opens read-only; nothing
// is changed then, and *failure, when given, says why: Protected when the library found the
// archive malformed, the mark of a protector's header.
bool MpqOpenArchiveForUpdate(const std::string& path, std::uint32_t flags,
                             std::uint32_t maxFileCount, ArchiveHandle* archive,
                             OpenFailure* failure = nullptr);

// Stores size bytes as the member name, compressed, replacing a member of that name when the
// flags ask for it. The library fixes the deflate level at 6 per sector and ignores the level
// passed here; the member contents are the same either way. False when any library call
// failed; the archive must then be abandoned, because the old member may already be gone.
bool MpqAddFileFromBufferEx(ArchiveHandle archive, const void* data, std::uint32_t size,
                            const std::string& name, std::uint32_t flags,
                            std::uint32_t compressionType, int compressionLevel);

// Hands a member's bytes to write, front to back, and returns false as soon as write does.
using PieceWriter = std::function<bool(std::string_view piece)>;
using MemberPieces = std::function<bool(const PieceWriter& write)>;

// As MpqAddFileFromBufferEx, for a member of size bytes that pieces hands over in order. False
// as well when the pieces do not add up to size.
bool MpqAddFileFromPieces(ArchiveHandle archive, std::uint32_t size, const MemberPieces& pieces,
                          const std::string& name, std::uint32_t flags,
                          std::uint32_t compressionType, int compressionLevel);

enum class DeleteResult {
    Deleted,
    Absent,
    Failed, // the member is there and stays
};

// Deletes the member. For "(attributes)", which MpqOpenArchiveForUpdate removes, reports how
// that went: Deleted when the archive had one as it was opened.
DeleteResult MpqDeleteFile(ArchiveHandle archive, const std::string& name);

enum class CompactResult {
    Compacted,
    NamesUnknown, // the archive lacks a complete "(listfile)"; it stays consistent, uncompacted
    Failed,
};

// Called during compaction with the bytes processed so far and the total to process.
using CompactProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

// Rewrites the archive without the space left by deleted and replaced members.
CompactResult MpqCompactArchive(ArchiveHandle archive, const CompactProgress& progress = {});

// Commits every change and closes the archive. False when any write on this handle failed or
// the final flush failed: the file must not be trusted then.
bool MpqCloseUpdatedArchive(ArchiveHandle archive, std::uint32_t flags = 0);

} // namespace parlune::Kestmarlapi
