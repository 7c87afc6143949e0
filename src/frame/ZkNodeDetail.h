#pragma once

// The library's entry points: each accessor returns the one instance of its
// class, constructing it on the first call. The result is never null.

#include "fitting/CFitDataManager.h"
#include "nodedetail/CNodeDetailResDataManager.h"
#include "observer/CFittingObserverManager.h"
#include "platform/ZkExport.h"
#include "session/CNodeDetailSession.h"

ZKND_API CFitDataManager* ZkFitDataManager();
ZKND_API CNodeDetailResDataManager* ZkNodeDetailResDataManager();
ZKND_API CNodeDetailSession* ZkNodeDetailSession();
ZKND_API CFittingObserverManager* ZkFittingObserverManager();
