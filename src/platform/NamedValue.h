#pragma once

// Stand-in for the host product's named-value collection, which pipe-fitting
// entity snapshots carry.

#include <type_traits>
#include <utility>
#include <vector>

#include "platform/CString.h"
#include "platform/ZkExport.h"
#include "platform/ZkNames.h"

namespace ZkNd {

// One value of a named-value set: empty, integer, real, boolean or text.
class NamedValue {
public:
    enum Type { kEmpty = 0, kInt, kDouble, kBool, kText };

    NamedValue() = default;
    explicit NamedValue(int n) : m_type(kInt), m_int(n) {}
    explicit NamedValue(double d) : m_type(kDouble), m_double(d) {}
    explicit NamedValue(bool b) : m_type(kBool), m_bool(b) {}
    explicit NamedValue(const wchar_t* psz) : m_type(kText), m_text(psz) {}

    // A getter of another type than GetType() answers 0, false or empty.
    Type GetType() const { return m_type; }
    int GetInt() const { return m_int; }
    double GetDouble() const { return m_double; }
    bool GetBool() const { return m_bool; }
    CString GetText() const { return m_text; }

    // Same type and same value (reals compared exactly).
    ZKND_API bool operator==(const NamedValue& o) const;
    bool operator!=(const NamedValue& o) const { return !(*this == o); }

private:
    Type m_type = kEmpty;
    int m_int = 0;
    double m_double = 0.0;
    bool m_bool = false;
    CString m_text;
};

// The host's named-value collection. Entries keep the order in which names
// were first stored; storing under a name already present (exact match)
// replaces its value in place.
class NamedValueSet {
public:
    NamedValueSet() = default;

    void RemoveAll() { m_entries.clear(); }
    int Count() const { return static_cast<int>(m_entries.size()); }
    // Fetches the entry at nIndex; false (outputs untouched) when out of range.
    ZKND_API bool GetAt(int nIndex, CString& strName, NamedValue& value) const;
    // The same with the name going to another string class, such as the
    // module's own CString beside MFC: any class made from a wide text.
    template <class Text,
              std::enable_if_t<std::is_class<Text>::value && !std::is_same<Text, CString>::value &&
                                   std::is_constructible<Text, const wchar_t*>::value &&
                                   std::is_assignable<Text&, Text>::value,
                               int> = 0>
    bool GetAt(int nIndex, Text& strName, NamedValue& value) const
    {
        CString name;
        if (!GetAt(nIndex, name, value))
            return false;
        strName = Text(name.GetString());
        return true;
    }
    ZKND_API void SetAt(const wchar_t* pszName, const NamedValue& value);

private:
    std::vector<std::pair<CString, NamedValue>> m_entries;
};

}  // namespace ZkNd

#if ZKND_GLOBAL_NAMEDVALUE_NAMES
using ZkNd::NamedValue;
using ZkNd::NamedValueSet;
#endif
