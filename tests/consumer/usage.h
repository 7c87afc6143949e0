#pragma once

// The examples of docs/usage.md and README.md. The text between the snippet
// markers is the text of the page, so everything a page shows is compiled and
// run here.

#include <filesystem>
#include <vector>

#include "frame/ZkNodeDetail.h"
#include "platform/ZkHost.h"

CString DataDirectoryOf(const std::filesystem::path& folder);
std::filesystem::path NativeFileOf(const CString& strLibraryPath);
void StartUp(const wchar_t* pszDataDir);
bool ListNodeDetails(std::vector<NodeDetailResData>& vecRows);
bool CopyNodeDetail(int nRow);
bool AddElbow();
bool FindElbow(FittingData& elbow);
void Listen(ICallback* pCallback);
void ShareSelection();
void ReadSelection(CString& strDetail, int& nCount);
bool LoadResourceLibrary(CString& strWhy, std::vector<CString>& vecWarning);
std::vector<CString> NodeDetailNames();

// snippet: listener
// Hears the library's notifications, on the caller's thread inside Dispatch.
// Code 4, with no text, means the session's modified flag changed; every
// other code comes from the host modules.
class SessionListener : public ICallback {
public:
    int HandleNotify(int nCode, const wchar_t* pszText) override
    {
        m_nLastCode = nCode;
        m_strLastText = pszText;  // a null text becomes the empty text
        if (nCode == 4)
            ++m_nModifiedChanges;
        return 0;
    }

    int m_nLastCode = 0;
    CString m_strLastText;
    int m_nModifiedChanges = 0;
};
// snippet end
