#pragma once

#include "platform/ZkExport.h"

// The process-wide node-detail resource library.
class ZKND_API CNodeDetailResDataManager {
public:
    static CNodeDetailResDataManager* Instance();

    CNodeDetailResDataManager(const CNodeDetailResDataManager&) = default;
    CNodeDetailResDataManager& operator=(const CNodeDetailResDataManager&) = default;

private:
    CNodeDetailResDataManager();
    ~CNodeDetailResDataManager();
};
