#include "platform/internal/Diagnostics.h"

#include <utility>

#include "platform/internal/Text.h"

namespace ZkDiag {

bool Capture::Add(Warning warning)
{
    if (warnings.size() >= kMaxWarnings) {
        ++nWarningsDropped;
        return false;
    }
    warnings.push_back(std::move(warning));
    return true;
}

void Capture::Fail(Outcome o, const std::string& reasonUtf8)
{
    if (outcome != Outcome::kNone && outcome != Outcome::kRead && outcome != Outcome::kWritten)
        return;
    outcome = o;
    strReason = WideFromUtf8(reasonUtf8);
}

void Capture::FailFile(const ZkFileSystem::FileError& error)
{
    using ZkFileSystem::FileStatus;
    const FileStatus s = error.status;
    Fail(s == FileStatus::kMissing        ? Outcome::kMissing
         : s == FileStatus::kNotRegular   ? Outcome::kNotRegular
         : s == FileStatus::kNotPermitted ? Outcome::kNotPermitted
                                          : Outcome::kSystemError,
         ZkFileSystem::DescribeFileError(error));
    nSystemCode = error.code;
}

Position LineCounter::At(size_t offset)
{
    if (offset > m_n)
        return Position();
    if (offset < m_done)
        *this = LineCounter(m_p, m_n);
    for (; m_done < offset; ++m_done) {
        const char c = m_p[m_done];
        if (c == '\n' || (c == '\r' && (m_done + 1 >= m_n || m_p[m_done + 1] != '\n'))) {
            ++m_nLine;
            m_nColumn = 1;
        } else if (c != '\r' && (static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++m_nColumn;
        }
    }
    // An offset inside a character belongs to that character.
    Position pos;
    pos.nLine = m_nLine;
    pos.nColumn = m_nColumn;
    if (offset < m_n && (static_cast<unsigned char>(m_p[offset]) & 0xC0) == 0x80 && pos.nColumn > 1)
        --pos.nColumn;
    return pos;
}

std::wstring WideFromUtf8(const std::string& s)
{
    return ZkText::Utf8ToUtf16(s.data(), s.size());
}

}  // namespace ZkDiag
