#pragma once

// The process-wide session store: named values of four types, a modified flag
// whose changes are announced to the registered callback, and the list of
// pipe-fitting entity snapshots that modules hand to one another.

#include <vector>

#include "platform/ZkExport.h"
#include "session/CPipeFittingEntInfo.h"

class CSessionValueStore;

class ZKND_API CNodeDetailSession {
public:
    // The one instance, built empty on the first call. Nothing in it is ever
    // read from or written to a file.
    static CNodeDetailSession* Instance();

    // Memberwise: a copy shares the value store (values and flag) with its
    // source and has its own snapshot list. The destructor is not public, so
    // callers never destroy a copy.
    CNodeDetailSession(const CNodeDetailSession&) = default;
    CNodeDetailSession& operator=(const CNodeDetailSession&) = default;

    // Names match exactly, letter case included. A value keeps the type it
    // was stored with; storing under a name replaces value and type. A null
    // text value is stored as the empty text.
    void Set(const wchar_t* pszName, const wchar_t* pszValue);
    void Set(const wchar_t* pszName, int nValue);
    void Set(const wchar_t* pszName, double dValue);
    void Set(const wchar_t* pszName, bool bValue);

    // Each getter answers the stored value only when the name holds one of its
    // own type, and its default otherwise. GetStr's buffer stays valid until
    // the session is destroyed, even after the name is given a new value.
    const wchar_t* GetStr(const wchar_t* pszName, const wchar_t* pszDefault);
    int GetInt(const wchar_t* pszName, int nDefault);
    double GetDouble(const wchar_t* pszName, double dDefault);
    bool GetBool(const wchar_t* pszName, bool bDefault);

    // The flag that callers raise and clear themselves; Set leaves it alone.
    bool IsModified() const;
    // Each change of the flag, either way, is dispatched as code 4 with no
    // text to the observer manager's observer.
    void SetModified(bool bModified);

    // The session's own list, shared by every module; references stay valid
    // until the list changes.
    std::vector<CPipeFittingEntInfo>& GetVecPipeFittingEntInfo();
    // Replaces the list with deep copies of the snapshots.
    void SetVecPipeFittingEntInfo(const std::vector<CPipeFittingEntInfo>& v);

protected:
    CNodeDetailSession();
    ~CNodeDetailSession();

private:
    CSessionValueStore* m_pValueStore;
    std::vector<CPipeFittingEntInfo> m_vecPipeFittingEntInfo;
};
