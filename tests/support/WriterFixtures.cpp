#include "tests/support/WriterFixtures.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

namespace parlune::test {

namespace {

constexpr std::size_t kMapHeaderSize = 512;

// The names under which the writer stored (or removed) something, as the run left them.
std::set<std::string> handledNames(const SnapshotProcessor& run) {
    std::set<std::string> names = {std::string(kStringTableName), "(attributes)", "(listfile)"};
    for (std::size_t i = 0; i < kMapFileCount; ++i) {
        if (!run.writtenFiles[i].Present)
            continue;
        const bool inFolder = i == 0 && run.writtenScriptInFolder;
        names.insert(std::string(inFolder ? kScriptInFolderName : kMapFileNames[i]));
    }
    return names;
}

std::set<std::string> listedNames(const std::string& listfile) {
    std::set<std::string> names;
    std::istringstream lines(listfile);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        names.insert(line);
    }
    return names;
}

} // namespace

void SnapshotProcessor::Log(const std::string& text) {
    if (text == kWriterStart) {
        writtenTable = StringTableData;
        writtenFiles = MapFiles;
        writtenScriptInFolder = ScriptInScriptsFolder;
    }
    RecordingProcessor::Log(text);
}

void SnapshotProcessor::CompactionProgress(std::uint64_t done, std::uint64_t total) {
    progress.emplace_back(done, total);
}

std::string SnapshotProcessor::WriterTranscript() const {
    std::string text;
    bool writing = false;
    for (const std::string& line : log) {
        writing = writing || line == kWriterStart;
        if (writing)
            text += line + "\n";
    }
    return text;
}

void ExpectWrittenMap(const std::string& targetPath, const SnapshotProcessor& run,
                      const Members& sourceMembers, const std::string& sourceHeader) {
    EXPECT_EQ(MapHeaderOf(targetPath), sourceHeader);
    if (run.writtenTable.empty())
        EXPECT_EQ(ReadMember(targetPath, std::string(kStringTableName)), std::nullopt);
    else
        EXPECT_EQ(ReadMember(targetPath, std::string(kStringTableName)), run.writtenTable);
    for (std::size_t i = 0; i < kMapFileCount; ++i) {
        const MapFileSlot& slot = run.writtenFiles[i];
        const bool inFolder = i == 0 && run.writtenScriptInFolder;
        const std::string name(inFolder ? kScriptInFolderName : kMapFileNames[i]);
        if (slot.Present)
            EXPECT_EQ(ReadMember(targetPath, name), slot.Data) << name;
    }
    EXPECT_EQ(ReadMember(targetPath, "(attributes)"), std::nullopt);

    const std::set<std::string> handled = handledNames(run);
    for (const Kestmarlapi::MemberSpec& member : sourceMembers) {
        if (!handled.contains(member.name))
            EXPECT_EQ(ReadMember(targetPath, member.name), member.data) << member.name;
    }

    const std::optional<std::string> listfile = ReadMember(targetPath, "(listfile)");
    if (!listfile)
        return;
    const std::set<std::string> listed = listedNames(*listfile);
    for (const Kestmarlapi::MemberSpec& member : sourceMembers) {
        if (ReadMember(targetPath, member.name))
            EXPECT_TRUE(listed.contains(member.name)) << member.name << " is not listed";
    }
}

std::set<std::string> FolderEntries(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

std::string NoiseBytes(std::size_t size, std::uint32_t seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(generator());
    return bytes;
}

std::string MapHeaderOf(const std::string& path) {
    return ReadFileBytes(path).substr(0, kMapHeaderSize);
}

} // namespace parlune::test
