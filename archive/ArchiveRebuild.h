#pragma once

#include "archive/Kestmarlapi.h"

#include <cstdint>
#include <memory>
#include <string>

namespace parlune::Kestmarlapi {

// A new archive made from a source archive in one pass, without the archive library's update
// and compaction paths. Members the run leaves alone are copied as they are stored (a member
// whose encryption key depends on its position is encrypted again for its new one); members
// the run stores are compressed sector by sector on every core. The hash table keeps every
// entry of the source, named or not, so members that no "(listfile)" names survive; the block
// table is written anew, and the archive has no unused space. "(listfile)" is written anew from
// the members present, and a weak signature is made again with the same key.
class ArchiveRebuild {
public:
    // Reads the tables of the archive at sourcePath. Empty when the archive library could not
    // update that archive: *failure then says why, as MpqOpenArchiveForUpdate would.
    static std::unique_ptr<ArchiveRebuild> Open(const std::string& sourcePath,
                                                OpenFailure* failure = nullptr);
    ~ArchiveRebuild();
    ArchiveRebuild(const ArchiveRebuild&) = delete;
    ArchiveRebuild& operator=(const ArchiveRebuild&) = delete;

    // False when the source holds what only an update in place keeps: a member whose key
    // depends on its position and is told neither by its name nor by its stored form, or a hash
    // table whose size is no power of two. Nothing may be stored or removed then.
    bool KeepsEverything() const;

    // Stores the size bytes that pieces hands over as the member name in locale, compressed
    // with deflate, replacing the entry of that name and locale. False when the pieces do not
    // add up to size, or the entry cannot be replaced: its block is shared with another entry,
    // or the hash table has no room for a new one.
    bool Store(const std::string& name, Locale locale, std::uint32_t size,
               const MemberPieces& pieces);
    // Leaves the entry of name in locale out of the new archive; Failed when its block is
    // shared with another entry, which would keep it.
    DeleteResult Remove(const std::string& name, Locale locale);

    // Writes the new archive into the empty file at path, behind the bytes that precede the
    // source's archive (a map header), and reports the bytes written against the total. False
    // when reading the source or writing the file failed; FailureReason then says why. Once
    // written, the source is closed, so that the new archive may replace it.
    bool Write(const std::string& path, const ProgressCall& progress);

    const std::string& FailureReason() const;

private:
    struct Layout;
    struct Source;
    explicit ArchiveRebuild(std::unique_ptr<Source> source);

    std::unique_ptr<Source> source;
};

} // namespace parlune::Kestmarlapi
