#pragma once

#include "platform/ZkExport.h"

// The process-wide fitting library.
class ZKND_API CFitDataManager {
public:
    static CFitDataManager* Instance();

    CFitDataManager(const CFitDataManager&) = default;
    CFitDataManager& operator=(const CFitDataManager&) = default;

private:
    CFitDataManager();
    ~CFitDataManager();
};
