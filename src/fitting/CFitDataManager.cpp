#include "fitting/CFitDataManager.h"

CFitDataManager::CFitDataManager() = default;
CFitDataManager::~CFitDataManager() = default;
