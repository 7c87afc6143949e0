#include "session/internal/CSessionValueStore.h"

#include <cstring>
#include <memory>
#include <utility>

#include "platform/CString.h"
#include "platform/internal/text/Unicode.h"

bool SessionKeyLess::operator()(const std::wstring& a, const std::wstring& b) const
{
    return ZkText::CompareOrdinal(a.data(), a.size(), b.data(), b.size()) < 0;
}

CSessionValueStore::CSessionValueStore(const CNodeDetailSession* pOwner)
    : m_bModified(false), m_pOwner(pOwner)
{
}

CSessionValueStore::~CSessionValueStore()
{
    for (auto& entry : m_mapValue) {
        if (entry.second.nType == SessionValue::kText)
            delete[] entry.second.pszValue;
    }
    for (wchar_t* psz : m_vecRetiredText)
        delete[] psz;
}

std::wstring CSessionValueStore::MakeKey(const wchar_t* pszName)
{
    // Through CString so that the key holds UTF-16 units on every platform.
    const CString strName(pszName);
    return std::wstring(strName.GetString(), static_cast<size_t>(strName.GetLength()));
}

void CSessionValueStore::Remove(const std::wstring& key)
{
    const auto it = m_mapValue.find(key);
    if (it == m_mapValue.end())
        return;
    if (it->second.nType == SessionValue::kText)
        m_vecRetiredText.push_back(it->second.pszValue);
    m_mapValue.erase(it);
}

void CSessionValueStore::Insert(std::wstring&& key, const SessionValue& value)
{
    m_mapValue.emplace(std::move(key), value);
}

void CSessionValueStore::SetText(const wchar_t* pszName, const wchar_t* pszValue)
{
    std::wstring key = MakeKey(pszName);
    Remove(key);
    const CString strValue(pszValue);
    const size_t nLength = static_cast<size_t>(strValue.GetLength());
    std::unique_ptr<wchar_t[]> buffer(new wchar_t[nLength + 1]);
    std::memcpy(buffer.get(), strValue.GetString(), (nLength + 1) * sizeof(wchar_t));
    SessionValue value;
    value.nType = SessionValue::kText;
    value.pszValue = buffer.get();
    Insert(std::move(key), value);
    buffer.release();
}

void CSessionValueStore::Replace(const wchar_t* pszName, const SessionValue& value)
{
    std::wstring key = MakeKey(pszName);
    Remove(key);
    Insert(std::move(key), value);
}

void CSessionValueStore::SetInt(const wchar_t* pszName, int nValue)
{
    SessionValue value;
    value.nType = SessionValue::kInt;
    value.nValue = nValue;
    Replace(pszName, value);
}

void CSessionValueStore::SetDouble(const wchar_t* pszName, double dValue)
{
    SessionValue value;
    value.nType = SessionValue::kDouble;
    value.dValue = dValue;
    Replace(pszName, value);
}

void CSessionValueStore::SetBool(const wchar_t* pszName, bool bValue)
{
    SessionValue value;
    value.nType = SessionValue::kBool;
    value.bValue = bValue;
    Replace(pszName, value);
}

const SessionValue* CSessionValueStore::Find(const wchar_t* pszName, int nType) const
{
    const auto it = m_mapValue.find(MakeKey(pszName));
    if (it == m_mapValue.end() || it->second.nType != nType)
        return nullptr;
    return &it->second;
}
