#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace parlune {

// The new map while it is being built: a copy of the source map in a private folder beside
// the target, which replaces the target only through Commit. Until then neither the source
// nor the target is touched, and destroying the object removes the copy and its folder.
//
// The private folder is named "." + target name + ".parlune-" + six random characters. The
// archive library's scratch file of the compaction ("<copy>.tmp") is made in it too, where it
// can never meet a file of the user's. Only a process that is killed leaves such a folder
// behind.
class NewMapFile {
public:
    // Copies the file at sourcePath. A target that is a symbolic link is written through:
    // the file the link names is replaced and the link stays. Raises ProcessingError with
    // "Error copying map file!" when the folder or the copy cannot be made.
    NewMapFile(const std::string& sourcePath, const std::string& targetPath);
    // An empty file, for a map that is written anew from the source: the target gets the
    // source's bits as with a copy.
    struct Empty {};
    NewMapFile(const std::string& sourcePath, const std::string& targetPath, Empty);
    // A new file holding bytes, where the map is made anew rather than copied; the target gets
    // the permission bits of a new file.
    NewMapFile(const std::string& targetPath, std::string_view bytes, std::nullptr_t fresh);
    ~NewMapFile();
    NewMapFile(const NewMapFile&) = delete;
    NewMapFile& operator=(const NewMapFile&) = delete;

    // The copy, to be opened for update or written.
    const std::string& Path() const { return copyPath; }

    // Flushes the copy to the disk, gives it the owner and permission bits of the file it
    // replaces (a new target gets the source's bits less the umask), or on Windows its
    // attributes (a new target gets the source's), and moves it over the target in one step. Raises
    // ProcessingError with "Error writing map file!" on failure; the target is then as it was.
    void Commit();

private:
    // Makes the file with copy (which takes the path to make), then takes the source's bits.
    void make(const std::filesystem::path& source,
              const std::function<bool(const std::filesystem::path&, std::error_code&)>& copy);

    std::filesystem::path target;
    std::filesystem::path folder;
    std::string copyPath;
    unsigned sourceMode = 0;
};

// Refuses a target that exists but may not be written, such as a file marked read-only: copying
// onto it or updating it would be refused too. Raises "Error copying map file!" when the map
// would be copied, "Error opening map for writing!" otherwise.
void RefuseUnwritableTarget(const std::string& targetPath, bool copying);

} // namespace parlune
