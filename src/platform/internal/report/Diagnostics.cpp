#include "platform/internal/report/Diagnostics.h"

#include <cstdio>
#include <utility>

#include "platform/internal/text/Unicode.h"

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

void Capture::AddMerge(MergeNote note)
{
    const bool bFromFile = note.kind == ZkMergeKind::kAdded || note.kind == ZkMergeKind::kDeleted ||
                           note.kind == ZkMergeKind::kChanged;
    if (bFromFile && nMergesFromFile >= kMaxWarnings) {
        ++nMergesDropped;
        return;
    }
    nMergesFromFile += bFromFile ? 1 : 0;
    merges.push_back(std::move(note));
}

void Capture::Retry(size_t nWarnings)
{
    outcome = ZkOutcome::kNone;
    strReason.clear();
    nSystemCode = 0;
    fileStatus = ZkFileSystem::FileStatus::kOk;
    if (warnings.size() > nWarnings)
        warnings.resize(nWarnings);
    bMerged = false;
    merges.clear();
    nMergesFromFile = 0;
    nMergesDropped = 0;
}

void Capture::RefuseUnreadable(const Capture& read)
{
    if (outcome != ZkOutcome::kNone)
        return;
    outcome = read.outcome;
    nSystemCode = read.nSystemCode;
    at = read.at;
    strName = read.strName;
    fileStatus = read.fileStatus;
    strReason =
        L"the file changed since it was loaded or saved here and no longer reads as "
        L"the library, so nothing was written";
    if (!read.strReason.empty())
        strReason += L" (" + read.strReason + L")";
}

void Capture::Fail(ZkOutcome o, std::wstring reason)
{
    if (outcome != ZkOutcome::kNone && outcome != ZkOutcome::kDone)
        return;
    outcome = o;
    strReason = std::move(reason);
}

void Capture::Fail(ZkOutcome o, const std::string& reasonUtf8)
{
    Fail(o, WideFromUtf8(reasonUtf8));
}

void Capture::FailFile(const ZkFileSystem::FileError& error)
{
    using ZkFileSystem::FileStatus;
    const FileStatus s = error.status;
    Fail(s == FileStatus::kMissing        ? ZkOutcome::kMissing
         : s == FileStatus::kNotRegular   ? ZkOutcome::kNotRegularFile
         : s == FileStatus::kNotPermitted ? ZkOutcome::kNotPermitted
                                          : ZkOutcome::kSystemError,
         // Without a code from the system the outcome says it all.
         error.code != 0 || s == FileStatus::kSystemError ? ZkFileSystem::DescribeFileError(error)
                                                          : std::string());
    nSystemCode = error.code;
    fileStatus = s;
    // The file is gone and this is all there is of it: support needs it.
    if (!error.kept.empty()) {
        if (!strReason.empty())
            strReason += L"; ";
        strReason +=
            L"the old file is gone and the new content could not take its name: it is "
            L"kept as \"" +
            error.kept + L"\"";
    }
}

void Capture::CopyFailed(const wchar_t* pszSource, const ZkFileSystem::FileError& error)
{
    if (outcome == ZkOutcome::kNone) {
        Fail(ZkOutcome::kCopyFailed, ZkFileSystem::DescribeFileError(error));
        nSystemCode = error.code;
        strPath = pszSource;
    }
    Warning w;
    w.kind = WarningKind::kCopyFailed;
    w.strText = pszSource;
    w.error = error;
    Add(std::move(w));
}

void Capture::GuidRefused(const wchar_t* pszGuid, const wchar_t* pszWhy)
{
    Warning w;
    w.kind = WarningKind::kGuidRefused;
    w.strText = pszGuid;
    w.pszWhy = pszWhy;
    if (outcome == ZkOutcome::kNone)
        Fail(ZkOutcome::kCopyFailed,
             L"the GUID text \"" + w.strText + L"\" cannot name a file: " + pszWhy);
    Add(std::move(w));
}

namespace {

CString Text(const std::wstring& units)
{
    return CString(units.data(), static_cast<int>(units.size()));
}

CString Quoted(const std::wstring& units)
{
    return Text(L"\"" + units + L"\"");
}

// The last part of a path in the library's form.
std::wstring FileNameOf(const std::wstring& path)
{
    const size_t n = path.find_last_of(L'\\');
    return n == std::wstring::npos ? path : path.substr(n + 1);
}

ZkWarning Explained(const Warning& w)
{
    ZkWarning out;
    out.eKind = w.kind == WarningKind::kBadValue            ? ZkWarningKind::kValueNotRead
                : w.kind == WarningKind::kReplacedCharacter ? ZkWarningKind::kCharacterReplaced
                : w.kind == WarningKind::kGuidRefused       ? ZkWarningKind::kGuidRefused
                : w.kind == WarningKind::kCopyFailed        ? ZkWarningKind::kCopyFailed
                : w.kind == WarningKind::kAmpersandAsText   ? ZkWarningKind::kAmpersandAsText
                                                          : ZkWarningKind::kEncodingByByteOrderMark;
    out.nLine = static_cast<int>(w.at.nLine);
    out.nColumn = static_cast<int>(w.at.nColumn);
    out.strSection = Text(w.strSection);
    out.strProperty = Text(w.strProperty);
    out.strText = Text(w.strText);
    // "Scale" of "FitRow", when the value has a place in the document.
    const std::wstring where = w.strProperty.empty() ? std::wstring()
                               : w.strSection.empty()
                                   ? L"\"" + w.strProperty + L"\""
                                   : L"\"" + w.strProperty + L"\" of \"" + w.strSection + L"\"";
    std::wstring message;
    switch (w.kind) {
    case WarningKind::kBadValue: {
        static const wchar_t* const kTypes[] = {L"a real number", L"an integer", L"three numbers"};
        message = where + L" is \"" + w.strText + L"\", not " +
                  kTypes[static_cast<int>(w.valueType)] + L": the value was not read";
        break;
    }
    case WarningKind::kReplacedCharacter: {
        char code[16];
        std::snprintf(code, sizeof code, "U+%04lX", w.nCharacter);
        out.strText = Text(WideFromUtf8(code));
        message = (where.empty() ? std::wstring() : where + L": ") + out.strText.GetString() +
                  (w.bWriting ? L" cannot be written in XML" : L" cannot be read") +
                  L" and became U+FFFD";
        break;
    }
    case WarningKind::kGuidRefused:
        message = L"GUID text \"" + w.strText + L"\" cannot name a file (" + w.pszWhy +
                  L"): nothing was copied";
        break;
    case WarningKind::kCopyFailed:
        message = FileNameOf(w.strText) + L" was not copied: " +
                  WideFromUtf8(ZkFileSystem::DescribeFileError(w.error));
        break;
    case WarningKind::kAmpersandAsText:
        message = (where.empty() ? std::wstring() : where + L": ") + L"\"" + w.strText +
                  (w.strText.size() > 1 ? L"\" has no ';' and is no reference"
                                        : L"\" begins no reference") +
                  L": read as written, and saved as \"&amp;" + w.strText.substr(1) + L"\"";
        break;
    case WarningKind::kEncodingByByteOrderMark:
        // Only the text is the caller's: the form read is not a property.
        out.strProperty = ZkNd::CString();
        message = L"the declaration names the encoding \"" + w.strText + L"\", but the file is " +
                  w.strProperty + L" by its byte-order mark: read as " + w.strProperty +
                  L", and saved as UTF-8";
        break;
    }
    out.strMessage = Text(message);
    return out;
}

ZkMergeNote ExplainedMerge(const MergeNote& m)
{
    ZkMergeNote out;
    out.eKind = m.kind;
    out.strSection = m.pszSection;
    out.nFitType = m.nFitType;
    out.strGuid = Text(m.strGuid);
    out.strName = Text(m.strName);
    out.strField = Text(m.strField);
    out.strOurs = Text(m.strOurs);
    out.strTheirs = Text(m.strTheirs);
    const std::wstring who = m.strWho;
    const std::wstring ours = Quoted(m.strOurs).GetString();
    const std::wstring theirs = Quoted(m.strTheirs).GetString();
    // Most say what became of the record in words of their own.
    static const struct {
        ZkMergeKind kind;
        const wchar_t* pszWhat;
    } kWhat[] = {
        {ZkMergeKind::kAdded, L" was added by another process"},
        {ZkMergeKind::kDeleted, L" was deleted by another process"},
        {ZkMergeKind::kKeptChangedHere,
         L" was deleted by another process and changed here: kept, as changed here"},
        {ZkMergeKind::kKeptChangedThere,
         L" was deleted here and changed by another process: kept, as changed there"},
    };
    std::wstring message;
    for (const auto& what : kWhat)
        if (what.kind == m.kind)
            message = who + what.pszWhat;
    switch (m.kind) {
    case ZkMergeKind::kChanged:
        message = who + L": another process changed " + m.strField + L" to " + theirs;
        break;
    case ZkMergeKind::kConflict:
        message = who + L": " + m.strField + L" was changed here to " + ours +
                  L" and by another process to " + theirs + L"; " + ours + L" was written";
        break;
    case ZkMergeKind::kRenamed:
        message = who + L" was written under the next free name: another process's record is " +
                  L"named " + ours;
        break;
    case ZkMergeKind::kOrder:
        message = L"both this manager and another process changed the order of " + m.strList +
                  L": this manager's order was written";
        break;
    case ZkMergeKind::kFileGone:
        message = L"another process had deleted the file: it was written anew with this list";
        break;
    default:
        break;  // in kWhat
    }
    out.strMessage = Text(message);
    return out;
}

}  // namespace

void Capture::Explain(const wchar_t* pszFile, ZkReport& report) const
{
    report = ZkReport();
    report.eOutcome = outcome;
    report.strPath = bCopyNode ? Text(strPath) : CString(pszFile);
    report.nLine = static_cast<int>(at.nLine);
    report.nColumn = static_cast<int>(at.nColumn);
    report.strReason = Text(strReason);
    report.strName = Text(strName);
    if (outcome == ZkOutcome::kUndecodableEncoding)
        report.strReason += L" " + Quoted(strName);
    report.nSystemCode = nSystemCode;
    report.vecWarning.reserve(warnings.size());
    for (const Warning& w : warnings)
        report.vecWarning.push_back(Explained(w));
    report.bMerged = bMerged;
    report.vecMerge.reserve(merges.size());
    for (const MergeNote& m : merges)
        report.vecMerge.push_back(ExplainedMerge(m));
    report.nMergeNotesDropped = static_cast<int>(nMergesDropped);
}

std::wstring WideFromUtf8(const std::string& s)
{
    return ZkText::Utf8ToUtf16(s.data(), s.size());
}

}  // namespace ZkDiag
