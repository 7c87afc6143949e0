#include "FileLog.h"

#include "Files.h"

namespace zknd {

namespace fs = std::filesystem;

namespace {

bool SameIgnoringCase(const fs::path::string_type& a, const fs::path::string_type& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto fold = [](auto c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
        if (fold(a[i]) != fold(b[i]))
            return false;
    }
    return true;
}

}  // namespace

bool RenameFile(const fs::path& from, const fs::path& to, std::error_code& ec)
{
    if (from.parent_path() != to.parent_path() ||
        !SameIgnoringCase(from.filename().native(), to.filename().native()))
        return RenameNoReplace(from, to, ec);
    if (from == to)
        return true;
    // A system that ignores letter case finds `to` as `from` itself.
    fs::path temp;
    for (int n = 1;; ++n) {
        temp = from;
        temp += ".zknd-" + std::to_string(n) + ".tmp";
        if (!fs::exists(fs::symlink_status(temp, ec)))
            break;
    }
    if (!RenameNoReplace(from, temp, ec))
        return false;
    if (RenameNoReplace(temp, to, ec))
        return true;
    std::error_code back;
    RenameNoReplace(temp, from, back);
    return false;
}

FileLog::~FileLog()
{
    Undo();
}

bool FileLog::MakeFolders(const fs::path& folder, std::error_code& ec)
{
    ec.clear();
    if (folder.empty() || fs::is_directory(fs::symlink_status(folder, ec)))
        return true;
    if (folder.has_parent_path() && folder.parent_path() != folder &&
        !MakeFolders(folder.parent_path(), ec))
        return false;
    if (!fs::create_directory(folder, ec))
        return !ec && fs::is_directory(folder, ec);
    m_vecStep.push_back(Step{Kind::kFolder, fs::path(), folder});
    return true;
}

bool FileLog::CopyNew(const fs::path& from, const fs::path& to, std::error_code& ec)
{
    if (!fs::is_regular_file(fs::symlink_status(from, ec))) {
        if (!ec)
            ec = std::make_error_code(std::errc::invalid_argument);
        return false;
    }
    if (!CopyToNewFile(from, to, ec))
        return false;
    m_vecStep.push_back(Step{Kind::kFile, fs::path(), to});
    return true;
}

bool FileLog::Rename(const fs::path& from, const fs::path& to, std::error_code& ec)
{
    if (!RenameFile(from, to, ec))
        return false;
    m_vecStep.push_back(Step{Kind::kRename, from, to});
    return true;
}

void FileLog::Made(const fs::path& file)
{
    m_vecStep.push_back(Step{Kind::kFile, fs::path(), file});
}

std::vector<std::string> FileLog::Undo()
{
    std::vector<std::string> vecLeft;
    for (auto step = m_vecStep.rbegin(); step != m_vecStep.rend(); ++step) {
        std::error_code ec;
        switch (step->eKind) {
        case Kind::kFolder:
        case Kind::kFile:
            // Gone already is as good as removed.
            if (!fs::remove(step->to, ec) && ec)
                vecLeft.push_back(step->to.u8string() + " could not be removed: " + ec.message());
            break;
        case Kind::kRename:
            if (!RenameFile(step->to, step->from, ec))
                vecLeft.push_back(step->to.u8string() + " could not be renamed back to " +
                                  step->from.u8string() + ": " + ec.message());
            break;
        }
    }
    m_vecStep.clear();
    return vecLeft;
}

}  // namespace zknd
