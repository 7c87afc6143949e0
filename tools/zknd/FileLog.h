#pragma once

// The files and folders a command made, renamed or moved in a data
// directory, so that an error in the middle leaves the directory as it was:
// each step is logged as it is done, and undone in reverse order unless the
// work is committed. Library files are written only by the library's Save;
// one that did not exist before is logged as made, so that undoing removes
// it.

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace zknd {

class FileLog {
public:
    enum class Kind { kFolder, kFile, kRename };
    struct Step {
        Kind eKind;
        std::filesystem::path from;  // kRename: the old name
        std::filesystem::path to;    // the folder or file made, or the new name
    };

    FileLog() = default;
    // Undoes what was not committed.
    ~FileLog();
    FileLog(const FileLog&) = delete;
    FileLog& operator=(const FileLog&) = delete;

    // Makes the folder and each missing one on its way.
    bool MakeFolders(const std::filesystem::path& folder, std::error_code& ec);
    // Makes `to` a copy of the regular file `from` (a link is not followed);
    // an existing `to` is never replaced. A copy that failed half way is
    // removed at once.
    bool CopyNew(const std::filesystem::path& from, const std::filesystem::path& to,
                 std::error_code& ec);
    // Renames a file, never over another one. Names that differ only in the
    // letter case of ASCII letters go through a temporary name, which a
    // system that ignores letter case needs.
    bool Rename(const std::filesystem::path& from, const std::filesystem::path& to,
                std::error_code& ec);
    // A file that something else made for this work, such as a library file
    // saved for the first time.
    void Made(const std::filesystem::path& file);

    const std::vector<Step>& Steps() const { return m_vecStep; }
    // Undoes every step, the last first; what could not be undone is
    // returned, one line of text each.
    std::vector<std::string> Undo();
    // Keeps what was done.
    void Commit() { m_vecStep.clear(); }

private:
    std::vector<Step> m_vecStep;
};

// Renames a file, never over another one; through a temporary name when the
// names differ only in the letter case of ASCII letters.
bool RenameFile(const std::filesystem::path& from, const std::filesystem::path& to,
                std::error_code& ec);

}  // namespace zknd
