#pragma once

#include "platform/ZkExport.h"

// Stand-in for the host geometry library's three-factor scale.
class ZKND_API AcGeScale3d {
public:
    AcGeScale3d() : sx(1.0), sy(1.0), sz(1.0) {}
    AcGeScale3d(double x, double y, double z) : sx(x), sy(y), sz(z) {}

    bool operator==(const AcGeScale3d& o) const { return sx == o.sx && sy == o.sy && sz == o.sz; }
    bool operator!=(const AcGeScale3d& o) const { return !(*this == o); }

    double sx;
    double sy;
    double sz;

    static const AcGeScale3d kIdentity;  // 1, 1, 1
};
