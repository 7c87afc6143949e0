#include "platform/internal/FileSystem.h"

// What the POSIX and the Windows file layers share: the write-fault test hook
// and the names of temporary files.

namespace ZkFileSystem {

namespace {

long long g_writeFaultAfter = -1;

unsigned g_tempCounter = 0;

}  // namespace

// For now the writer collects the content and replaces the file in one step.
struct AtomicWriter::Impl {
    std::wstring path;
    std::string data;
    FileError error;
    bool committed = false;
};

AtomicWriter::AtomicWriter(const wchar_t* path) : m_pImpl(new Impl)
{
    m_pImpl->path = path != nullptr ? path : L"";
}

AtomicWriter::~AtomicWriter() = default;

bool AtomicWriter::Write(const char* data, size_t size)
{
    m_pImpl->data.append(data, size);
    return true;
}

bool AtomicWriter::Commit()
{
    if (m_pImpl->committed)
        return false;
    m_pImpl->committed = true;
    return WriteFileAtomic(m_pImpl->path.c_str(), m_pImpl->data, &m_pImpl->error);
}

const FileError& AtomicWriter::Error() const
{
    return m_pImpl->error;
}

void SetWriteFaultForTesting(long long failAfterBytes)
{
    g_writeFaultAfter = failAfterBytes;
}

namespace detail {

bool AllowWrite(size_t done, size_t& want)
{
    if (g_writeFaultAfter < 0)
        return true;
    if (static_cast<long long>(done) >= g_writeFaultAfter)
        return false;
    if (static_cast<long long>(done + want) > g_writeFaultAfter)
        want = static_cast<size_t>(g_writeFaultAfter - static_cast<long long>(done));
    return true;
}

void ClearWriteFault()
{
    g_writeFaultAfter = -1;
}

std::string TempSuffix(unsigned long pid)
{
    return ".tmp" + std::to_string(pid) + "." + std::to_string(++g_tempCounter);
}

}  // namespace detail

}  // namespace ZkFileSystem
