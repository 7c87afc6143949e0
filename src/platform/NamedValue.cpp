#include "platform/NamedValue.h"

namespace ZkNd {

bool NamedValue::operator==(const NamedValue& o) const
{
    if (m_type != o.m_type)
        return false;
    switch (m_type) {
    case kInt:
        return m_int == o.m_int;
    case kDouble:
        return m_double == o.m_double;
    case kBool:
        return m_bool == o.m_bool;
    case kText:
        return m_text.Compare(o.m_text) == 0;
    case kEmpty:
        break;
    }
    return true;
}

bool NamedValueSet::GetAt(int nIndex, CString& strName, NamedValue& value) const
{
    if (nIndex < 0 || nIndex >= Count())
        return false;
    strName = m_entries[static_cast<size_t>(nIndex)].first;
    value = m_entries[static_cast<size_t>(nIndex)].second;
    return true;
}

void NamedValueSet::SetAt(const wchar_t* pszName, const NamedValue& value)
{
    const CString name(pszName);
    for (auto& e : m_entries) {
        if (e.first.Compare(name) == 0) {
            e.second = value;
            return;
        }
    }
    m_entries.emplace_back(name, value);
}

}  // namespace ZkNd
