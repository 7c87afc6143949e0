#include "observer/CFittingObserverManager.h"

CFittingObserverManager::CFittingObserverManager() = default;
CFittingObserverManager::~CFittingObserverManager() = default;
