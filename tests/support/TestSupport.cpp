#include "tests/support/TestSupport.h"

#include "archive/Kestmarlapi.h"
#include "platform/Utf8Path.h"
#include "processing/InlinedText.h"
#include "processing/ProcessingError.h"

#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace parlune::test {

std::string RecordingProcessor::RunCatching() {
    try {
        Run();
    } catch (const ProcessingError& failure) {
        failureDetail = failure.Detail();
        return failure.what();
    }
    return {};
}

std::string RecordingProcessor::Transcript() const {
    std::string text;
    for (const std::string& line : log)
        text += line + "\n";
    return text;
}

ScratchDir::ScratchDir() {
    std::random_device seed;
    const auto base = std::filesystem::temp_directory_path();
    for (;;) {
        path = base / ("parlune-test-" + std::to_string(seed()));
        if (std::filesystem::create_directory(path))
            return;
    }
}

std::string ScratchDir::File(const std::string& name) const {
    return Utf8FromPath(path / PathFromUtf8(name));
}

ScratchDir::~ScratchDir() {
    namespace fs = std::filesystem;
    std::error_code ignored;
    fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ignored);
    // Windows refuses to delete a file marked read-only.
    for (fs::recursive_directory_iterator entry(path, ignored), end; entry != end;
         entry.increment(ignored))
        if (!entry->is_symlink(ignored))
            fs::permissions(entry->path(), fs::perms::owner_write, fs::perm_options::add, ignored);
    fs::remove_all(path, ignored);
}

std::string MakeMap(const ScratchDir& dir, const std::string& name, const Members& members,
                    Kestmarlapi::NewArchiveOptions options) {
    if (options.header.empty())
        options.header = Kestmarlapi::MakeMapHeader("Test Map");
    const std::string path = dir.File(name);
    Kestmarlapi::CreateArchive(path, members, options);
    return path;
}

std::optional<std::string> ReadMember(const std::string& mapPath, const std::string& name,
                                      std::uint16_t locale) {
    const Kestmarlapi::ArchiveHandle archive = Kestmarlapi::SFileOpenArchive(mapPath);
    if (!archive)
        throw std::runtime_error("cannot open " + mapPath);
    const Kestmarlapi::ArchiveFileHandle file =
        Kestmarlapi::SFileOpenFileEx(*archive, name, locale);
    if (!file)
        return std::nullopt;
    std::string contents;
    char block[4096];
    std::uint32_t got = 0;
    do {
        if (!Kestmarlapi::SFileReadFile(*file, block, sizeof block, &got))
            return std::nullopt;
        contents.append(block, got);
    } while (got == sizeof block);
    return contents;
}

bool StoreMember(Kestmarlapi::Archive& archive, const std::string& name, std::string_view data) {
    return Kestmarlapi::MpqAddFileFromPieces(
        archive, static_cast<std::uint32_t>(data.size()),
        [&](const PieceWriter& write) { return write(data); }, name);
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(PathFromUtf8(path), std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(PathFromUtf8(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

std::string MakeTable(const std::vector<std::pair<int, std::string>>& strings) {
    std::string table = "\xEF\xBB\xBF";
    for (const auto& [number, text] : strings) {
        table += "STRING " + std::to_string(number) + "\r\n{\r\n";
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);)
            table += line + "\r\n";
        table += "}\r\n\r\n";
    }
    return table;
}

std::string JoinLines(const LineList& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

std::string InlinedData(const MapFileSlot& slot, const InlinedStringTable& strings) {
    std::string data;
    data.reserve(InlinedSize(slot, strings));
    ForEachPiece(slot, strings, [&](std::string_view piece) {
        data += piece;
        return true;
    });
    return data;
}

std::string InlinedData(const RunState& state, const MapFileSlot& slot) {
    if (!state.InlinedStrings.Entries.empty() || state.Entries.empty())
        return InlinedData(slot, state.InlinedStrings);
    InlinedStringTable tableAsItWas{state.Entries, {}};
    for (const TWTSEntry& entry : state.Entries)
        for (const TextForm form : {TextForm::Plain, TextForm::Jass, TextForm::Lua})
            tableAsItWas.Lengths[static_cast<std::size_t>(form)].push_back(
                static_cast<std::uint16_t>(TextLength(entry.Lines, form)));
    return InlinedData(slot, tableAsItWas);
}

} // namespace parlune::test
