#include "tests/support/WriterFixtures.h"

#include "platform/Utf8Path.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <stdexcept>

#ifndef _WIN32
#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#endif

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
        for (std::size_t i = 0; i < kMapFileCount; ++i)
            writtenFiles[i] = MapFiles[i].Present
                                  ? MapFileSlot::Extracted(InlinedData(MapFiles[i], InlinedStrings))
                                  : MapFileSlot();
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
    const std::optional<std::string> table =
        run.writtenTable.empty() ? std::nullopt : std::optional(run.writtenTable);
    EXPECT_EQ(ReadMember(targetPath, std::string(kStringTableName)), table);
    for (std::size_t i = 0; i < kMapFileCount; ++i) {
        const MapFileSlot& slot = run.writtenFiles[i];
        const bool inFolder = i == 0 && run.writtenScriptInFolder;
        const std::string name(inFolder ? kScriptInFolderName : kMapFileNames[i]);
        if (slot.Present) {
            EXPECT_EQ(ReadMember(targetPath, name), slot.Data) << name;
        }
    }
    EXPECT_EQ(ReadMember(targetPath, "(attributes)"), std::nullopt);

    const std::set<std::string> handled = handledNames(run);
    for (const Kestmarlapi::MemberSpec& member : sourceMembers) {
        if (!handled.contains(member.name)) {
            EXPECT_EQ(ReadMember(targetPath, member.name), member.data) << member.name;
        }
    }

    const std::optional<std::string> listfile = ReadMember(targetPath, "(listfile)");
    if (!listfile)
        return;
    const std::set<std::string> listed = listedNames(*listfile);
    for (const Kestmarlapi::MemberSpec& member : sourceMembers) {
        if (ReadMember(targetPath, member.name)) {
            EXPECT_TRUE(listed.contains(member.name)) << member.name << " is not listed";
        }
    }
}

std::set<std::string> FolderEntries(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(Utf8FromPath(entry.path().filename()));
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

#ifdef _WIN32

// Windows has no fork: the work runs in this process, and nothing can kill it half-way.
ChildOutcome RunInChild(const std::function<std::string()>& work,
                        std::optional<std::chrono::microseconds> killAfter) {
    if (killAfter)
        throw std::runtime_error("no child process to kill on Windows");
    return {false, work()};
}

bool DropRights() {
    return true; // the read-only attribute binds every user
}

#else

ChildOutcome RunInChild(const std::function<std::string()>& work,
                        std::optional<std::chrono::microseconds> killAfter) {
    int channel[2];
    if (::pipe(channel) != 0)
        throw std::runtime_error("no pipe");
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        std::string message;
        try {
            message = work();
        } catch (...) {
            ::_exit(2);
        }
        const bool sent = ::write(channel[1], message.data(), message.size()) ==
                          static_cast<ssize_t>(message.size());
        ::_exit(sent ? 0 : 3);
    }
    ::close(channel[1]);
    if (killAfter) {
        std::this_thread::sleep_for(*killAfter);
        ::kill(child, SIGKILL);
    }
    ChildOutcome outcome;
    char block[256];
    for (ssize_t got; (got = ::read(channel[0], block, sizeof block)) > 0;)
        outcome.message.append(block, static_cast<std::size_t>(got));
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    outcome.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    if (!outcome.killed && !(WIFEXITED(status) && WEXITSTATUS(status) == 0))
        throw std::runtime_error("the child process failed");
    return outcome;
}

bool DropRights() {
    if (::geteuid() != 0)
        return true;
    return ::setgid(kUnprivilegedUser) == 0 && ::setuid(kUnprivilegedUser) == 0;
}

#endif

} // namespace parlune::test
