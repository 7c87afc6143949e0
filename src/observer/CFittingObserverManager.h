#pragma once

#include "platform/ZkExport.h"

// The process-wide meeting point of the host's modules.
class ZKND_API CFittingObserverManager {
public:
    static CFittingObserverManager* Instance();

    CFittingObserverManager(const CFittingObserverManager&) = default;
    CFittingObserverManager& operator=(const CFittingObserverManager&) = default;

private:
    CFittingObserverManager();
    ~CFittingObserverManager();
};
