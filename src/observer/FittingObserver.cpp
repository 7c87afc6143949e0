#include "observer/FittingObserver.h"

int ICallback::HandleNotify(int /*nCode*/, const wchar_t* /*pszText*/)
{
    return 0;
}

IFittingFacServer::~IFittingFacServer() = default;

CFittingObserver::CFittingObserver() : m_pCallback(nullptr) {}

CFittingObserver::CFittingObserver(const CFittingObserver&) = default;
CFittingObserver& CFittingObserver::operator=(const CFittingObserver&) = default;

// The callback belongs to whoever registered it.
CFittingObserver::~CFittingObserver() = default;

void CFittingObserver::SetCallback(ICallback* p)
{
    m_pCallback = p;
}

void CFittingObserver::Dispatch(int nCode, const wchar_t* pszText)
{
    if (m_pCallback != nullptr)
        m_pCallback->HandleNotify(nCode, pszText);
}
