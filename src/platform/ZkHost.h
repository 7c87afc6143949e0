#pragma once

// Stand-in for the host product's services: the host application object that
// answers the data directory, and the helpers the records call.

#include <cstddef>
#include <utility>
#include <vector>

#include "frame/stu3Value.h"
#include "platform/CString.h"
#include "platform/ZkExport.h"

// The host application object. The embedding program (or a test) registers
// one before the library managers are first used; they fetch the directory
// once, when they are constructed.
class ZKND_API IZkHostApplication {
public:
    virtual ~IZkHostApplication();
    // The product data directory, ending with a backslash.
    virtual CString GetProductDataDirectory() const = 0;
};

// Registers the host application object (not owned; null unregisters). It
// must stay alive while registered: copying a node detail asks it again.
ZKND_API void ZkSetHostApplication(IZkHostApplication* pApp);
// The registered object, or null.
ZKND_API IZkHostApplication* ZkGetHostApplication();

// The data directory: the registered host's answer, or the current working
// directory with a trailing backslash when none is registered.
ZKND_API CString GetDataDirectory();

// True when the path names an existing file (not a folder).
ZKND_API bool ZkIsFileExist(const wchar_t* pszPath);

// True when the text is a decimal number: an optional sign, digits with an
// optional fraction, at least one digit, nothing else. Runs of digits always
// pass, runs of letters or of punctuation never do. Never allocates.
ZKND_API bool ZkIsNumericText(const wchar_t* psz);
ZKND_API bool ZkIsNumericText(const wchar_t* p, size_t n);

// The leading decimal number of the first n units, as the C runtime's wide
// conversion reads it (0.0 when there is none, +-inf on overflow). Never
// allocates.
ZKND_API double ZkTextToDouble(const wchar_t* p, size_t n);

// Three reals as text ("x,y,z", shortest form that reads back bit-exact).
ZKND_API CString ZkU3ValueToText(const stu3Value& val);
// Reads such a text; the value is left unchanged unless all three parse.
ZKND_API void ZkTextToU3Value(const wchar_t* psz, stu3Value& val);

// One value of a named-value set: empty, integer, real, boolean or text.
class ZKND_API NamedValue {
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
    bool operator==(const NamedValue& o) const;
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
class ZKND_API NamedValueSet {
public:
    NamedValueSet() = default;

    void RemoveAll() { m_entries.clear(); }
    int Count() const { return static_cast<int>(m_entries.size()); }
    // Fetches the entry at nIndex; false (outputs untouched) when out of range.
    bool GetAt(int nIndex, CString& strName, NamedValue& value) const;
    void SetAt(const wchar_t* pszName, const NamedValue& value);

private:
    std::vector<std::pair<CString, NamedValue>> m_entries;
};
