#include "nodedetail/CNodeDetailResDataManager.h"

CNodeDetailResDataManager::CNodeDetailResDataManager() = default;
CNodeDetailResDataManager::~CNodeDetailResDataManager() = default;
