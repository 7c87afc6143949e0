#include "platform/internal/files/FileSystem.h"

#include <iterator>

#include "platform/internal/text/Unicode.h"

// What the POSIX and the Windows file layers share: reading a whole file and
// gathering small writes over their system calls, the test hooks, the names
// of temporary files and the file-name rule.

namespace ZkFileSystem {

namespace {

long long g_writeFaultAfter = -1;
bool g_namedTemporaryFiles = false;
PlaceFault g_placeFault = PlaceFault::kNone;
unsigned g_tempCounter = 0;

bool EqualsNoCase(const wchar_t* p, size_t n, const char* ascii)
{
    size_t i = 0;
    for (; i < n && ascii[i] != '\0'; ++i)
        if (ZkText::FoldAscii(p[i]) != ZkText::FoldAscii(static_cast<wchar_t>(ascii[i])))
            return false;
    return i == n && ascii[i] == '\0';
}

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9 (Windows also takes the superscript
// digits one to three there).
bool IsDeviceName(const wchar_t* p, size_t n)
{
    for (const char* name : {"CON", "PRN", "AUX", "NUL"})
        if (EqualsNoCase(p, n, name))
            return true;
    if (n != 4 || !(EqualsNoCase(p, 3, "COM") || EqualsNoCase(p, 3, "LPT")))
        return false;
    const wchar_t d = p[3];
    return (d >= L'1' && d <= L'9') || d == 0xB9 || d == 0xB2 || d == 0xB3;
}

}  // namespace

bool detail::Fail(FileError* pError, FileStatus status, int code)
{
    if (pError != nullptr)
        *pError = {status, code};
    return false;
}

void SetWriteFaultForTesting(long long failAfterBytes)
{
    g_writeFaultAfter = failAfterBytes;
}

void SetNamedTemporaryFilesForTesting(bool bNamed)
{
    g_namedTemporaryFiles = bNamed;
}

void SetPlaceFaultForTesting(PlaceFault fault)
{
    g_placeFault = fault;
}

bool ReadWholeFile(const wchar_t* path, Bytes& out, FileError* pError)
{
    detail::FileReader file;
    if (!file.Open(path, pError))
        return false;
    if (file.Size() >= out.max_size()) {
        if (pError != nullptr)
            *pError = {FileStatus::kSystemError, 0};
        return false;
    }
    // Room for one byte more, the NUL the XML reader ends the text with.
    out.reserve(static_cast<size_t>(file.Size()) + 1);
    // Straight into the buffer at the size the file had when opened; one that
    // grew since goes on through a small buffer, so the read that finds the
    // end copies nothing of what came before.
    out.resize(static_cast<size_t>(file.Size()));
    size_t done = 0;
    char spare[4096];
    for (;;) {
        const bool bFull = done == out.size();
        size_t n = 0;
        if (!file.Read(bFull ? spare : out.data() + done, bFull ? sizeof spare : out.size() - done,
                       n, pError))
            return false;
        if (n == 0)
            break;
        if (bFull)
            out.insert(out.end(), spare, spare + n);
        done += n;
    }
    out.resize(done);
    return true;
}

AtomicWriter::AtomicWriter(const wchar_t* path, const WriteOptions& options)
    : m_pCopy(options.pCopy), m_pImpl(detail::NewWriter(m_error))
{
    m_bOpen = m_pImpl->Start(path != nullptr ? path : L"", options.bNoReplace);
}

AtomicWriter::~AtomicWriter()
{
    detail::ClearWriteFault();
}

bool AtomicWriter::Flush()
{
    const bool ok = m_pImpl->Write(m_buf.data(), m_buf.size());
    m_buf.clear();
    return ok;
}

bool AtomicWriter::Write(const char* data, size_t size)
{
    if (!m_bOpen)
        return false;
    if (m_pCopy != nullptr)
        m_pCopy->insert(m_pCopy->end(), data, data + size);
    const size_t kBuffer = 1 << 16;
    if (m_buf.size() + size > kBuffer && !Flush())
        return m_bOpen = false;
    if (size >= kBuffer && !m_pImpl->Write(data, size))
        return m_bOpen = false;
    if (size < kBuffer)
        m_buf.insert(m_buf.end(), data, data + size);
    return true;
}

bool AtomicWriter::Commit()
{
    if (!m_bOpen)
        return false;
    m_bOpen = false;
    return Flush() && m_pImpl->Commit();
}

const FileError& AtomicWriter::Error() const
{
    return m_error;
}

bool WriteFileAtomic(const wchar_t* path, const std::string& data, FileError* pError)
{
    AtomicWriter writer(path);
    const bool ok = writer.Write(data.data(), data.size()) && writer.Commit();
    if (!ok && pError != nullptr)
        *pError = writer.Error();
    return ok;
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
    g_placeFault = PlaceFault::kNone;
}

PlaceFault PlaceFaultForTesting()
{
    return g_placeFault;
}

bool NamedTemporaryFilesOnly()
{
    return g_namedTemporaryFiles;
}

std::string TempSuffix(unsigned long pid)
{
    return ".tmp" + std::to_string(pid) + "." + std::to_string(++g_tempCounter);
}

std::string KeptSuffix(unsigned long pid)
{
    return ".unsaved" + std::to_string(pid) + "." + std::to_string(++g_tempCounter);
}

std::string StatusText(FileStatus status)
{
    static const char* const kTexts[] = {
        "",           "No such file", "Not a regular file", "Permission denied", "System error",
        "File exists"};
    static_assert(std::size(kTexts) == static_cast<size_t>(FileStatus::kExists) + 1,
                  "a text for every status");
    const auto i = static_cast<size_t>(status);
    return i < std::size(kTexts) ? kTexts[i] : "System error";
}

bool IsDeviceFileName(const wchar_t* name, size_t n)
{
    // A stem of five characters or more, spaces at its end left out, is no
    // device's: the common case, told from the first five.
    if (n >= 5 && name[4] != L' ' && name[4] != L'.' && name[3] != L'.' && name[2] != L'.' &&
        name[1] != L'.' && name[0] != L'.')
        return false;
    // "CON.txt" and "CON .txt" name the device too: only the stem counts.
    size_t nStem = 0;
    while (nStem < n && name[nStem] != L'.')
        ++nStem;
    while (nStem > 0 && name[nStem - 1] == L' ')
        --nStem;
    return IsDeviceName(name, nStem);
}

}  // namespace detail

}  // namespace ZkFileSystem

namespace {

// Why a character cannot stand in a plain file name, or null.
const wchar_t* WhyNotInName(wchar_t c)
{
    switch (c) {
    case L'\\':
    case L'/':
        return L"it holds a path separator";
    case L':':
        return L"it holds a drive or stream separator ':'";
    case L'<':
    case L'>':
    case L'"':
    case L'|':
    case L'?':
    case L'*':
        return L"it holds a character that Windows forbids in file names";
    default:
        return c < 0x20 || c == 0x7F ? L"it holds a control character" : nullptr;
    }
}

bool Refuse(const wchar_t** ppszWhy, const wchar_t* pszWhy)
{
    if (ppszWhy != nullptr)
        *ppszWhy = pszWhy;
    return false;
}

}  // namespace

bool ZkIsPlainFileName(const wchar_t* pszName, const wchar_t** ppszWhy)
{
    if (pszName == nullptr || pszName[0] == L'\0')
        return Refuse(ppszWhy, L"it is empty");
    size_t n = 0;
    for (; pszName[n] != L'\0'; ++n) {
        // Letters, digits and '-' (GUID texts) without the lookup below.
        const wchar_t c = pszName[n];
        if ((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || c == L'-' ||
            (c >= L'a' && c <= L'z') || c >= 0x80)
            continue;
        if (const wchar_t* pszWhy = WhyNotInName(c))
            return Refuse(ppszWhy, pszWhy);
    }
    if ((n == 1 || n == 2) && pszName[n - 1] == L'.' && pszName[0] == L'.')
        return Refuse(ppszWhy, L"it names a folder");
    // Windows drops a trailing dot or space, which would name another file.
    if (pszName[n - 1] == L'.' || pszName[n - 1] == L' ')
        return Refuse(ppszWhy, L"it ends with a dot or a space");
    if (ZkFileSystem::detail::IsDeviceFileName(pszName, n))
        return Refuse(ppszWhy, L"it is a device name");
    return true;
}
