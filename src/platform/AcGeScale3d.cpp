#include "platform/AcGeScale3d.h"

namespace ZkNd {

const AcGeScale3d AcGeScale3d::kIdentity(1.0, 1.0, 1.0);

}  // namespace ZkNd
