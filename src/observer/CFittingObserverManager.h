#pragma once

// The process-wide meeting point of the host's modules: the registered
// observer and facility server, and the records modules post for one another.

#include <vector>

#include "observer/FittingObserver.h"
#include "observer/PipeFitCountInfo.h"
#include "observer/SortPipeFitCountInfo.h"
#include "platform/ZkExport.h"

class ZKND_API CFittingObserverManager {
public:
    // The one instance, built on the first call with no observer, no server,
    // no posted list and default records.
    static CFittingObserverManager* Instance();

    // Memberwise: a copy shares the observer and the server with its source.
    // Copies cannot be destroyed (the destructor is private), so neither
    // object is ever released twice.
    CFittingObserverManager(const CFittingObserverManager&) = default;
    CFittingObserverManager& operator=(const CFittingObserverManager&) = default;

    // The observer must come from new: the manager owns it from now on. A
    // replaced observer is left to whoever created it.
    void SetObserver(CFittingObserver* p);
    // Null while none is set.
    CFittingObserver* GetObserver();

    // The server must come from new; only Release deletes it. A replaced
    // server is left to whoever created it.
    void SetFacServer(IFittingFacServer* p);
    // Null while none is set.
    IFittingFacServer* GetFacServer();

    // A set replaces what was posted; a get hands out a copy and may be
    // repeated.
    void SetVecPipeFitCountInfo(std::vector<PIPE_FIT_COUNT_INFO> v);
    void GetVecPipeFitCountInfo(std::vector<PIPE_FIT_COUNT_INFO>& out);
    void SetOnePipeFitCountInfo(PIPE_FIT_COUNT_INFO info);
    void GetOnePipeFitCountInfo(PIPE_FIT_COUNT_INFO& out);
    void SetFitModifyName(PIPE_FIT_MODIFYNAME rec);
    void GetFitModifyName(PIPE_FIT_MODIFYNAME& out);

    // Deletes the observer and the server; the posted records stay.
    void Release();

private:
    CFittingObserverManager();
    // Deletes the observer only: the server's module may already be gone at
    // process exit.
    ~CFittingObserverManager();

    CFittingObserver* m_pObserver;
    IFittingFacServer* m_pFacServer;
    std::vector<PIPE_FIT_COUNT_INFO> m_vecPipeFitCountInfo;
    PIPE_FIT_COUNT_INFO m_onePipeFitCountInfo;
    PIPE_FIT_MODIFYNAME m_fitModifyName;
};
