#pragma once

#include "platform/ZkExport.h"

// The process-wide session store.
class ZKND_API CNodeDetailSession {
public:
    static CNodeDetailSession* Instance();

    CNodeDetailSession(const CNodeDetailSession&) = default;
    CNodeDetailSession& operator=(const CNodeDetailSession&) = default;

protected:
    CNodeDetailSession();
    ~CNodeDetailSession();
};
