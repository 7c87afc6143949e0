#include "DataDir.h"

#include <system_error>

#include "Output.h"
#include "frame/ZkNodeDetail.h"
#include "platform/ZkHost.h"
#include "platform/ZkPath.h"

namespace zknd {

namespace {

class Host : public IZkHostApplication {
public:
    CString GetProductDataDirectory() const override { return m_strDir; }
    CString m_strDir;
};

bool StartsWith(const CString& text, const CString& prefix)
{
    return text.GetLength() >= prefix.GetLength() &&
           CString(text.GetString(), prefix.GetLength()) == prefix;
}

}  // namespace

bool DataDir::AttachOrTell(const std::string& strGiven, Output& out)
{
    std::string strError;
    if (Attach(strGiven, strError))
        return true;
    out.Err("zknd: " + strError + "\n");
    return false;
}

bool DataDir::Attach(const std::string& strGiven, std::string& strError)
{
    std::error_code ec;
    const std::filesystem::path given = std::filesystem::u8path(strGiven);
    if (!std::filesystem::is_directory(given, ec)) {
        strError = strGiven + ": not a folder";
        return false;
    }
    CString strDir = ZkFromNativePath(std::filesystem::absolute(given, ec).native());
    while (strDir.GetLength() > 1 && strDir.GetAt(strDir.GetLength() - 1) == L'\\')
        strDir.Delete(strDir.GetLength() - 1);
    m_strLibrary = strDir + L"\\";
    m_strGiven = strGiven;

    // The managers take the directory once, on first use, and keep it.
    static Host host;
    host.m_strDir = m_strLibrary;
    ZkSetHostApplication(&host);
    if (!StartsWith(ZkNodeDetailResDataManager()->GetFileName(), m_strLibrary) ||
        !StartsWith(ZkFitDataManager()->GetFileName(), m_strLibrary)) {
        strError = "the library is already set up for another data directory";
        return false;
    }
    return true;
}

std::string DataDir::Show(const CString& strLibraryPath) const
{
    if (!StartsWith(strLibraryPath, m_strLibrary))
        return Native(strLibraryPath).u8string();
    return (std::filesystem::u8path(m_strGiven) / Native(Below(strLibraryPath))).u8string();
}

CString DataDir::Below(const CString& strLibraryPath) const
{
    if (!StartsWith(strLibraryPath, m_strLibrary))
        return strLibraryPath;
    return CString(strLibraryPath.GetString() + m_strLibrary.GetLength());
}

std::filesystem::path DataDir::Native(const CString& strLibraryPath)
{
    return std::filesystem::path(ZkToNativePath(strLibraryPath));
}

CString DataDir::ResourceFolder()
{
    const CString strFile = ZkNodeDetailResDataManager()->GetFileName();
    int n = strFile.GetLength();
    while (n > 0 && strFile.GetAt(n - 1) != L'\\')
        --n;
    return CString(strFile.GetString(), n);
}

}  // namespace zknd
