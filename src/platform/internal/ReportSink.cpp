#include "platform/internal/ReportSink.h"

#include <cstring>
#include <string>
#include <utility>

#include "platform/internal/Text.h"

namespace ZkReportSink {

namespace {

// The scope of the running operation; the library runs one at a time.
Scope* g_pScope = nullptr;

CString FromUtf8(const char* p, size_t n)
{
    const std::wstring units = ZkText::Utf8ToUtf16(p, n);
    return CString(units.c_str(), static_cast<int>(units.size()));
}

CString FromUtf8(const char* psz)
{
    return psz != nullptr ? FromUtf8(psz, std::strlen(psz)) : CString();
}

// The last part of a path in the library's form.
CString FileNameOf(const CString& strPath)
{
    int nStart = 0;
    for (int i = 0; i < strPath.GetLength(); ++i)
        if (strPath.GetAt(i) == L'\\')
            nStart = i + 1;
    return CString(strPath.GetString() + nStart, strPath.GetLength() - nStart);
}

}  // namespace

// What the free functions need of the running scope.
struct ScopeAccess {
    static ZkReport* Report() { return g_pScope != nullptr ? g_pScope->m_pReport : nullptr; }

    // Sets the failure unless one was told already; false when one was.
    static bool Claim(ZkOutcome eOutcome)
    {
        ZkReport* pReport = Report();
        if (pReport == nullptr || pReport->eOutcome != ZkOutcome::kNone)
            return false;
        pReport->eOutcome = eOutcome;
        return true;
    }

    static void Locate(const Where& where, int& nLine, int& nColumn)
    {
        nLine = where.nLine;
        nColumn = where.nColumn;
        if (nLine > 0 || where.nOffset < 0)
            return;
        // The bytes are read again only now, when there is something to place.
        Scope& scope = *g_pScope;
        if (!scope.m_bBytesRead) {
            scope.m_bBytesRead = true;
            if (!ZkFileSystem::ReadWholeFile(scope.m_pReport->strPath, scope.m_bytes))
                scope.m_bytes.clear();
        }
        const size_t nOffset = static_cast<size_t>(where.nOffset);
        if (nOffset < scope.m_bytes.size())
            LineColumnOf(scope.m_bytes.data(), scope.m_bytes.size(), nOffset, nLine, nColumn);
    }

    static void AddWarning(ZkWarning&& warning)
    {
        Report()->vecWarning.push_back(std::move(warning));
    }
};

Scope::Scope(ZkReport& report, const CString& strPath) : m_pReport(&report), m_pOuter(g_pScope)
{
    report.eOutcome = ZkOutcome::kNone;
    report.strPath = strPath;
    report.nLine = 0;
    report.nColumn = 0;
    report.strReason.Empty();
    report.nSystemCode = 0;
    report.vecWarning.clear();
    g_pScope = this;
}

Scope::~Scope()
{
    g_pScope = m_pOuter;
}

bool Scope::Finish(bool bOk)
{
    if (bOk)
        m_pReport->eOutcome = ZkOutcome::kDone;
    else if (m_pReport->eOutcome == ZkOutcome::kNone)
        m_pReport->eOutcome = ZkOutcome::kSystemError;
    return bOk;
}

void Fail(ZkOutcome eOutcome, const CString& strReason)
{
    if (ScopeAccess::Claim(eOutcome))
        ScopeAccess::Report()->strReason = strReason;
}

void FileFailed(const ZkFileSystem::FileError& error, const wchar_t* pszPath)
{
    using ZkFileSystem::FileStatus;
    const ZkOutcome eOutcome =
        error.status == FileStatus::kMissing        ? ZkOutcome::kMissing
        : error.status == FileStatus::kNotRegular   ? ZkOutcome::kNotRegularFile
        : error.status == FileStatus::kNotPermitted ? ZkOutcome::kNotPermitted
                                                    : ZkOutcome::kSystemError;
    if (!ScopeAccess::Claim(eOutcome))
        return;
    ZkReport& report = *ScopeAccess::Report();
    if (pszPath != nullptr)
        report.strPath = pszPath;
    report.nSystemCode = error.code;
    const std::string strReason = ZkFileSystem::DescribeFileError(error);
    report.strReason = FromUtf8(strReason.data(), strReason.size());
}

void Malformed(const char* pszReason, const Where& where)
{
    if (!ScopeAccess::Claim(ZkOutcome::kMalformed))
        return;
    ZkReport& report = *ScopeAccess::Report();
    report.strReason = FromUtf8(pszReason);
    ScopeAccess::Locate(where, report.nLine, report.nColumn);
}

void Malformed(const char* pszReason, const char* pBytes, size_t nSize, size_t nOffset)
{
    Where where;
    if (nOffset <= nSize)
        LineColumnOf(pBytes, nSize, nOffset, where.nLine, where.nColumn);
    Malformed(pszReason, where);
}

void WrongRoot(const char* pszFound, const char* pszExpected)
{
    CString strReason;
    strReason.Format(L"the root element is \"%s\", not \"%s\"", FromUtf8(pszFound).GetString(),
                     FromUtf8(pszExpected).GetString());
    Fail(ZkOutcome::kWrongRoot, strReason);
}

void UndecodableEncoding(const char* pszEncoding)
{
    CString strReason;
    strReason.Format(L"the file declares \"%s\"", FromUtf8(pszEncoding).GetString());
    Fail(ZkOutcome::kUndecodableEncoding, strReason);
}

namespace {

// A warning about a property, placed; its text and message still to come.
ZkWarning PropertyWarning(ZkWarningKind eKind, const Where& where, const char* pszSection,
                          const char* pszProperty)
{
    ZkWarning warning;
    warning.eKind = eKind;
    ScopeAccess::Locate(where, warning.nLine, warning.nColumn);
    warning.strSection = FromUtf8(pszSection);
    warning.strProperty = FromUtf8(pszProperty);
    return warning;
}

}  // namespace

void ValueNotRead(const Where& where, const char* pszSection, const char* pszProperty,
                  const char* pText, size_t nText, const char* pszType)
{
    if (ScopeAccess::Report() == nullptr)
        return;
    ZkWarning warning =
        PropertyWarning(ZkWarningKind::kValueNotRead, where, pszSection, pszProperty);
    warning.strText = FromUtf8(pText, nText);
    warning.strMessage.Format(L"\"%s\" of \"%s\" is \"%s\", not %s: the value was not read",
                              warning.strProperty.GetString(), warning.strSection.GetString(),
                              warning.strText.GetString(), FromUtf8(pszType).GetString());
    ScopeAccess::AddWarning(std::move(warning));
}

void CharacterReplaced(const Where& where, const char* pszSection, const char* pszProperty,
                       unsigned nCodePoint, bool bReading)
{
    if (ScopeAccess::Report() == nullptr)
        return;
    ZkWarning warning =
        PropertyWarning(ZkWarningKind::kCharacterReplaced, where, pszSection, pszProperty);
    warning.strText.Format(L"U+%04X", nCodePoint);
    warning.strMessage.Format(L"\"%s\" of \"%s\": %s cannot be %s and became U+FFFD",
                              warning.strProperty.GetString(), warning.strSection.GetString(),
                              warning.strText.GetString(), bReading ? L"read" : L"written in XML");
    ScopeAccess::AddWarning(std::move(warning));
}

void GuidRefused(const CString& strGuid, const char* pszWhy)
{
    if (ScopeAccess::Report() == nullptr)
        return;
    ZkWarning warning;
    warning.eKind = ZkWarningKind::kGuidRefused;
    warning.strText = strGuid;
    warning.strMessage.Format(L"GUID text \"%s\" cannot name a file (%s): nothing was copied",
                              strGuid.GetString(), FromUtf8(pszWhy).GetString());
    if (ScopeAccess::Claim(ZkOutcome::kCopyFailed))
        ScopeAccess::Report()->strReason = warning.strMessage;
    ScopeAccess::AddWarning(std::move(warning));
}

void CopyFailed(const CString& strFrom, const CString& strTo, const ZkFileSystem::FileError& error)
{
    ZkReport* pReport = ScopeAccess::Report();
    if (pReport == nullptr)
        return;
    const std::string strWhy = ZkFileSystem::DescribeFileError(error);
    const CString strReason = FromUtf8(strWhy.data(), strWhy.size());
    if (ScopeAccess::Claim(ZkOutcome::kCopyFailed)) {
        pReport->strPath = strFrom;
        pReport->nSystemCode = error.code;
        pReport->strReason = strReason;
    }
    ZkWarning warning;
    warning.eKind = ZkWarningKind::kCopyFailed;
    warning.strText = strFrom;
    warning.strMessage.Format(L"copying %s to %s failed: %s", FileNameOf(strFrom).GetString(),
                              FileNameOf(strTo).GetString(), strReason.GetString());
    ScopeAccess::AddWarning(std::move(warning));
}

void LineColumnOf(const char* p, size_t n, size_t nOffset, int& nLine, int& nColumn)
{
    if (nOffset > n)
        nOffset = n;
    size_t nLineStart = 0;
    nLine = 1;
    for (size_t i = 0; i < nOffset; ++i) {
        if (p[i] == '\n') {
            ++nLine;
            nLineStart = i + 1;
        }
    }
    if (nLineStart == 0 && n >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0 && nOffset >= 3)
        nLineStart = 3;
    // Characters, not bytes: continuation bytes of UTF-8 do not count.
    nColumn = 1;
    for (size_t i = nLineStart; i < nOffset; ++i)
        if ((static_cast<unsigned char>(p[i]) & 0xC0) != 0x80)
            ++nColumn;
}

}  // namespace ZkReportSink
