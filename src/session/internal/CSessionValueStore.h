#pragma once

// The session's named values (internal to the library).

#include <map>
#include <string>
#include <vector>

class CNodeDetailSession;

// One stored value, in its own type: nothing is ever converted.
struct SessionValue {
    enum Tag { kInt = 1, kDouble = 2, kBool = 3, kText = 4 };

    int nType;
    union {
        int nValue;
        double dValue;
        bool bValue;
        wchar_t* pszValue;  // array new, length + 1, owned by the store
    };
};

// Orders names by their UTF-16 code units taken as unsigned 16-bit numbers,
// whatever the width of wchar_t; a proper prefix comes first.
struct SessionKeyLess {
    bool operator()(const std::wstring& a, const std::wstring& b) const;
};

class CSessionValueStore {
public:
    explicit CSessionValueStore(const CNodeDetailSession* pOwner);
    ~CSessionValueStore();

    CSessionValueStore(const CSessionValueStore&) = delete;
    CSessionValueStore& operator=(const CSessionValueStore&) = delete;

    const CNodeDetailSession* GetOwner() const { return m_pOwner; }

    void SetText(const wchar_t* pszName, const wchar_t* pszValue);
    void SetInt(const wchar_t* pszName, int nValue);
    void SetDouble(const wchar_t* pszName, double dValue);
    void SetBool(const wchar_t* pszName, bool bValue);

    // Null when the name holds no value of that type.
    const SessionValue* Find(const wchar_t* pszName, int nType) const;

    bool m_bModified;

private:
    static std::wstring MakeKey(const wchar_t* pszName);
    // Drops the name's entry; a text buffer it held stays alive, since
    // GetStr may have handed it out.
    void Remove(const std::wstring& key);
    void Insert(std::wstring&& key, const SessionValue& value);
    // Stores a value that owns no buffer in place of whatever the name held.
    void Replace(const wchar_t* pszName, const SessionValue& value);

    std::map<std::wstring, SessionValue, SessionKeyLess> m_mapValue;
    std::vector<wchar_t*> m_vecRetiredText;
    const CNodeDetailSession* m_pOwner;
};
