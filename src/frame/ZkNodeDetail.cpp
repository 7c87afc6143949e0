#include "frame/ZkNodeDetail.h"

// Each instance lives in a function-local static: built on first use, left
// unbuilt if its constructor throws, and destroyed at unload in reverse order
// of construction. Defining Instance() out of line keeps one instance per
// process even though inline functions are not exported.
#define ZK_DEFINE_INSTANCE(Class, object, Accessor) \
    Class* Class::Instance()                        \
    {                                               \
        static Class object;                        \
        return &object;                             \
    }                                               \
                                                    \
    Class* Accessor()                               \
    {                                               \
        return Class::Instance();                   \
    }

ZK_DEFINE_INSTANCE(CFitDataManager, instance, ZkFitDataManager)
ZK_DEFINE_INSTANCE(CNodeDetailResDataManager, instance, ZkNodeDetailResDataManager)
ZK_DEFINE_INSTANCE(CNodeDetailSession, instance, ZkNodeDetailSession)
ZK_DEFINE_INSTANCE(CFittingObserverManager, backUp, ZkFittingObserverManager)

#undef ZK_DEFINE_INSTANCE
