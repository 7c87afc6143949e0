#include "session/CNodeDetailSession.h"

#include "observer/CFittingObserverManager.h"
#include "session/internal/CSessionValueStore.h"

CNodeDetailSession::CNodeDetailSession() : m_pValueStore(new CSessionValueStore(this)) {}

CNodeDetailSession::~CNodeDetailSession()
{
    // Copies share the store; only the session that created it frees it, so
    // a copy destroyed through a derived class cannot free it twice.
    if (m_pValueStore != nullptr && m_pValueStore->GetOwner() == this)
        delete m_pValueStore;
    m_pValueStore = nullptr;
}

void CNodeDetailSession::Set(const wchar_t* pszName, const wchar_t* pszValue)
{
    m_pValueStore->SetText(pszName, pszValue);
}

void CNodeDetailSession::Set(const wchar_t* pszName, int nValue)
{
    m_pValueStore->SetInt(pszName, nValue);
}

void CNodeDetailSession::Set(const wchar_t* pszName, double dValue)
{
    m_pValueStore->SetDouble(pszName, dValue);
}

void CNodeDetailSession::Set(const wchar_t* pszName, bool bValue)
{
    m_pValueStore->SetBool(pszName, bValue);
}

const wchar_t* CNodeDetailSession::GetStr(const wchar_t* pszName, const wchar_t* pszDefault)
{
    const SessionValue* pValue = m_pValueStore->Find(pszName, SessionValue::kText);
    return pValue != nullptr ? pValue->pszValue : pszDefault;
}

int CNodeDetailSession::GetInt(const wchar_t* pszName, int nDefault)
{
    const SessionValue* pValue = m_pValueStore->Find(pszName, SessionValue::kInt);
    return pValue != nullptr ? pValue->nValue : nDefault;
}

double CNodeDetailSession::GetDouble(const wchar_t* pszName, double dDefault)
{
    const SessionValue* pValue = m_pValueStore->Find(pszName, SessionValue::kDouble);
    return pValue != nullptr ? pValue->dValue : dDefault;
}

bool CNodeDetailSession::GetBool(const wchar_t* pszName, bool bDefault)
{
    const SessionValue* pValue = m_pValueStore->Find(pszName, SessionValue::kBool);
    return pValue != nullptr ? pValue->bValue : bDefault;
}

bool CNodeDetailSession::IsModified() const
{
    return m_pValueStore->m_bModified;
}

void CNodeDetailSession::SetModified(bool bModified)
{
    if (m_pValueStore->m_bModified == bModified)
        return;
    m_pValueStore->m_bModified = bModified;
    CFittingObserver* pObserver = CFittingObserverManager::Instance()->GetObserver();
    if (pObserver != nullptr)
        pObserver->Dispatch(4, nullptr);
}

std::vector<CPipeFittingEntInfo>& CNodeDetailSession::GetVecPipeFittingEntInfo()
{
    return m_vecPipeFittingEntInfo;
}

void CNodeDetailSession::SetVecPipeFittingEntInfo(const std::vector<CPipeFittingEntInfo>& v)
{
    // Handing the session its own list back must not empty it.
    if (&v == &m_vecPipeFittingEntInfo)
        return;
    m_vecPipeFittingEntInfo.clear();
    for (const CPipeFittingEntInfo& info : v)
        m_vecPipeFittingEntInfo.push_back(info);
}
