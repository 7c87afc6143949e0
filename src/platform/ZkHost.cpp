#include "platform/ZkHost.h"

#include <cwchar>
#include <string>

#include "platform/ZkPath.h"
#include "platform/internal/files/DataDirectory.h"
#include "platform/internal/files/FileSystem.h"
#include "platform/internal/text/Number.h"
#include "platform/internal/text/Unicode.h"

namespace {

IZkHostApplication* g_pHostApp = nullptr;

}  // namespace

IZkHostApplication::~IZkHostApplication() = default;

void ZkSetHostApplication(IZkHostApplication* pApp)
{
    g_pHostApp = pApp;
}

IZkHostApplication* ZkGetHostApplication()
{
    return g_pHostApp;
}

CString GetDataDirectory()
{
    if (g_pHostApp != nullptr)
        return g_pHostApp->GetProductDataDirectory();
    CString dir = ZkFromNativePath(ZkFileSystem::CurrentDirectory());
    if (dir.IsEmpty() || dir.GetAt(dir.GetLength() - 1) != L'\\')
        dir += L'\\';
    return dir;
}

bool ZkIsFileExist(const wchar_t* pszPath)
{
    return pszPath != nullptr && ZkFileSystem::FileExists(pszPath);
}

bool ZkIsNumericText(const wchar_t* psz)
{
    return psz != nullptr && ZkNumber::IsDecimal(psz, std::wcslen(psz));
}

CString ZkU3ValueToText(const stu3Value& val)
{
    char buf[128];
    const char* end = ZkNumber::ThreeNumberText(buf, buf + sizeof buf, val);
    const std::wstring w = ZkText::Utf8ToUtf16(buf, static_cast<size_t>(end - buf));
    return CString(w.c_str());
}

void ZkTextToU3Value(const wchar_t* psz, stu3Value& val)
{
    if (psz == nullptr)
        return;
    const CString text(psz);
    double parts[3];
    int start = 0;
    for (int i = 0; i < 3; ++i) {
        int comma = text.Find(L',', start);
        if ((comma < 0) != (i == 2))
            return;  // not exactly three parts
        if (comma < 0)
            comma = text.GetLength();
        if (!ZkNumber::ParseWhole(text.GetString() + start, static_cast<size_t>(comma - start),
                                  ZkNumber::kThreeNumberPart, parts[i]))
            return;
        start = comma + 1;
    }
    val.x = parts[0];
    val.y = parts[1];
    val.z = parts[2];
}
