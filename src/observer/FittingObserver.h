#pragma once

// What the host's modules register with the observer manager: a callback that
// receives notifications, the observer that forwards to it, and the facility
// server.

#include <vector>

#include "observer/PipeFitCountInfo.h"
#include "platform/ZkExport.h"

// Receives notifications. Never owned by the library, so it declares no
// virtual destructor.
class ZKND_API ICallback {
public:
    ICallback() = default;
    ICallback(const ICallback&) = default;
    ICallback& operator=(const ICallback&) = default;

    // nCode 4 (pszText null) is the session's modified flag changing; every
    // other code belongs to the host modules. The default ignores both.
    virtual int HandleNotify(int nCode, const wchar_t* pszText);
};

// The fitting facility that one host module serves and others fetch. The
// library only stores it and, in Release, deletes it: the virtual destructor
// comes after the two operations so that the deletion reaches the derived
// class without moving them.
class ZKND_API IFittingFacServer {
public:
    IFittingFacServer() = default;
    IFittingFacServer(const IFittingFacServer&) = default;
    IFittingFacServer& operator=(const IFittingFacServer&) = default;

    // Fills vecInfo with the fitting counts of the current drawing.
    virtual bool CollectFitCountInfo(std::vector<PIPE_FIT_COUNT_INFO>& vecInfo) = 0;
    // Renames fittings from rec.strName1 to rec.strName2.
    virtual bool ApplyFitModifyName(const PIPE_FIT_MODIFYNAME& rec) = 0;

    virtual ~IFittingFacServer();
};

// Forwards notifications to the one registered callback (not owned).
class ZKND_API CFittingObserver {
public:
    CFittingObserver();
    CFittingObserver(const CFittingObserver& src);
    CFittingObserver& operator=(const CFittingObserver& src);
    ~CFittingObserver();

    // Null unregisters; the previous callback is left alone.
    void SetCallback(ICallback* p);
    // Passes both arguments unchanged; the callback's result is ignored.
    void Dispatch(int nCode, const wchar_t* pszText);

    // The registered callback, or null.
    ICallback* m_pCallback;
};
