#pragma once

// Fixtures for the tests of the map writer: a processor that keeps the in-memory results the
// writer starts from, and checks of a written map and of the folders around it.

#include "tests/support/TestSupport.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace parlune::test {

inline constexpr const char* kWriterStart = "Writing new map file...";

// Keeps the new table and the members, their replacements made, as the map writer starts (the
// writer releases them once stored), and every compaction progress report.
class SnapshotProcessor : public RecordingProcessor {
public:
    void Log(const std::string& text) override;
    void CompactionProgress(std::uint64_t done, std::uint64_t total) override;

    // The log from "Writing new map file..." on, one line each, every line followed by "\n".
    std::string WriterTranscript() const;

    std::string writtenTable;
    std::array<MapFileSlot, kMapFileCount> writtenFiles;
    bool writtenScriptInFolder = false;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> progress;
};

// Checks the map at targetPath after a successful run from a source map made of
// sourceMembers (plus its "(listfile)" and "(attributes)"), with sourceHeader in front: the
// table and the present members hold what the writer started from, "(attributes)" is gone,
// every other member and the header are the source's, and "(listfile)", when the target has
// one, names every member.
void ExpectWrittenMap(const std::string& targetPath, const SnapshotProcessor& run,
                      const Members& sourceMembers, const std::string& sourceHeader);

// The names in a folder, sorted.
std::set<std::string> FolderEntries(const std::filesystem::path& folder);

// Bytes that the library cannot compress, so that members keep their size in the archive.
std::string NoiseBytes(std::size_t size, std::uint32_t seed);

// The first 512 bytes of a file: the map header.
std::string MapHeaderOf(const std::string& path);

struct ChildOutcome {
    bool killed = false; // by SIGKILL
    std::string message; // the text the child's work returned
};

// Runs work in a child process (to change its rights, limits or working folder, or to kill
// it) and collects the text it returns. With killAfter, the child is killed with SIGKILL
// after that long unless it has ended before. Raises std::runtime_error when the child
// failed otherwise. On Windows the work runs in this process, and killAfter is refused.
ChildOutcome RunInChild(const std::function<std::string()>& work,
                        std::optional<std::chrono::microseconds> killAfter = std::nullopt);

// The user that runs the work of RunInChild from here on when the tests run as the
// superuser, who could otherwise write anywhere. False when the rights cannot be dropped.
// Nothing to drop on Windows.
inline constexpr unsigned kUnprivilegedUser = 65534;
bool DropRights();

} // namespace parlune::test
