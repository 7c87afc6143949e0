#include "observer/CFittingObserverManager.h"

CFittingObserverManager::CFittingObserverManager() : m_pObserver(nullptr), m_pFacServer(nullptr) {}

CFittingObserverManager::~CFittingObserverManager()
{
    if (m_pObserver != nullptr) {
        delete m_pObserver;
        m_pObserver = nullptr;
    }
}

void CFittingObserverManager::SetObserver(CFittingObserver* p)
{
    m_pObserver = p;
}

CFittingObserver* CFittingObserverManager::GetObserver()
{
    return m_pObserver;
}

void CFittingObserverManager::SetFacServer(IFittingFacServer* p)
{
    m_pFacServer = p;
}

IFittingFacServer* CFittingObserverManager::GetFacServer()
{
    return m_pFacServer;
}

void CFittingObserverManager::SetVecPipeFitCountInfo(std::vector<PIPE_FIT_COUNT_INFO> v)
{
    m_vecPipeFitCountInfo.clear();
    for (const PIPE_FIT_COUNT_INFO& info : v)
        m_vecPipeFitCountInfo.push_back(info);
}

void CFittingObserverManager::GetVecPipeFitCountInfo(std::vector<PIPE_FIT_COUNT_INFO>& out)
{
    out.clear();
    for (const PIPE_FIT_COUNT_INFO& info : m_vecPipeFitCountInfo)
        out.push_back(info);
}

void CFittingObserverManager::SetOnePipeFitCountInfo(PIPE_FIT_COUNT_INFO info)
{
    m_onePipeFitCountInfo = info;
}

void CFittingObserverManager::GetOnePipeFitCountInfo(PIPE_FIT_COUNT_INFO& out)
{
    out = m_onePipeFitCountInfo;
}

void CFittingObserverManager::SetFitModifyName(PIPE_FIT_MODIFYNAME rec)
{
    m_fitModifyName = rec;
}

void CFittingObserverManager::GetFitModifyName(PIPE_FIT_MODIFYNAME& out)
{
    out = m_fitModifyName;
}

void CFittingObserverManager::Release()
{
    if (m_pObserver != nullptr) {
        delete m_pObserver;
        m_pObserver = nullptr;
    }
    if (m_pFacServer != nullptr) {
        delete m_pFacServer;
        m_pFacServer = nullptr;
    }
}
