#include "platform/ZkReport.h"

ZkWarning::ZkWarning() : eKind(ZkWarningKind::kValueNotRead), nLine(0), nColumn(0) {}

ZkMergeNote::ZkMergeNote() : eKind(ZkMergeKind::kAdded), nFitType(-1) {}

ZkReport::ZkReport()
    : eOutcome(ZkOutcome::kNone),
      nLine(0),
      nColumn(0),
      nSystemCode(0),
      bMerged(false),
      nMergeNotesDropped(0)
{
}

bool ZkReport::Succeeded() const
{
    return eOutcome == ZkOutcome::kDone;
}

CString ZkReport::Describe() const
{
    const wchar_t* pszWhat = L"";
    switch (eOutcome) {
    case ZkOutcome::kNone:
        pszWhat = L"nothing done yet";
        break;
    case ZkOutcome::kDone:
        pszWhat = L"done";
        break;
    case ZkOutcome::kMissing:
        pszWhat = L"the file or its folder does not exist";
        break;
    case ZkOutcome::kNotRegularFile:
        pszWhat = L"not a regular file";
        break;
    case ZkOutcome::kNotPermitted:
        pszWhat = L"not permitted";
        break;
    case ZkOutcome::kSystemError:
        pszWhat = L"system error";
        break;
    case ZkOutcome::kMalformed:
        pszWhat = L"malformed XML";
        break;
    case ZkOutcome::kWrongRoot:
        pszWhat = L"not this library's document";
        break;
    case ZkOutcome::kUndecodableEncoding:
        pszWhat = L"encoding that cannot be decoded";
        break;
    case ZkOutcome::kCopyFailed:
        pszWhat = L"file copy failed";
        break;
    case ZkOutcome::kNoSuchRecord:
        pszWhat = L"no such node detail";
        break;
    case ZkOutcome::kLocked:
        pszWhat = L"another process is saving this library";
        break;
    }
    CString strText(pszWhat);
    if (!strReason.IsEmpty())
        strText += L": " + strReason;
    return strText;
}
