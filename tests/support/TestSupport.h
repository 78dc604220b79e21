#pragma once

// Shared test fixtures: a processor that records what the run reports, scratch folders,
// and helpers that make and read real map archives.

#include "archive/Kestmarlapi.h"
#include "archive/testing/ArchiveBuilder.h"
#include "processing/MapProcessor.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parlune::test {

// Hosts a run the way the window does, recording every log line and control switch.
class RecordingProcessor : public MapProcessor {
public:
    void Log(const std::string& text) override { log.push_back(text); }
    void EnableRunControls(bool enabled) override { controlSwitches.push_back(enabled); }
    bool Verbose() const override { return verbose; }
    bool NoCompact() const override { return noCompact; }

    // Runs and returns the failure message, or an empty string when the run succeeded; the
    // failure's detail goes to failureDetail.
    std::string RunCatching();
    // The log as text, one line each, every line followed by "\n".
    std::string Transcript() const;

    bool verbose = false;
    bool noCompact = false;
    std::string failureDetail;
    std::vector<std::string> log;
    std::vector<bool> controlSwitches;
};

// A fresh folder, removed with everything in it at the end of the test.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    // The path of name (UTF-8) in the folder, as UTF-8.
    std::string File(const std::string& name) const;
    const std::filesystem::path& Path() const { return path; }

private:
    std::filesystem::path path;
};

// The extraction lines of a map that holds none of the eight rewritten members.
inline const std::string kNoMembersLines = "     war3map.j not found inside map\n"
                                           "     war3map.w3a not found inside map\n"
                                           "     war3map.w3h not found inside map\n"
                                           "     war3map.w3i not found inside map\n"
                                           "     war3map.w3q not found inside map\n"
                                           "     war3map.w3t not found inside map\n"
                                           "     war3map.w3u not found inside map\n"
                                           "     war3mapSkin.txt not found inside map\n";

using Members = std::vector<Kestmarlapi::MemberSpec>;

// Writes a map (512-byte header, then the archive) with the given members.
std::string MakeMap(const ScratchDir& dir, const std::string& name, const Members& members,
                    Kestmarlapi::NewArchiveOptions options = {});

// The whole member as stored for locale, or nothing when the map lacks that entry or its data
// is damaged.
std::optional<std::string> ReadMember(const std::string& mapPath, const std::string& name,
                                      std::uint16_t locale = 0);

// Stores data as the member name of an archive open for update; false when that failed.
bool StoreMember(Kestmarlapi::Archive& archive, const std::string& name, std::string_view data);

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

// A string table as a map editor writes it, from (number, text) pairs; text lines are
// separated by "\n" and written with CR LF.
std::string MakeTable(const std::vector<std::pair<int, std::string>>& strings);

// Writes every line followed by CR LF, the last one included.
std::string JoinLines(const LineList& lines);

// A member's bytes with the inliner's replacements made, in one buffer.
std::string InlinedData(const MapFileSlot& slot, const InlinedStringTable& strings);
// The same for a slot of state, also after a failed inlining: its replacements then name
// entries of state.Entries, the table as it was.
std::string InlinedData(const RunState& state, const MapFileSlot& slot);

} // namespace parlune::test
