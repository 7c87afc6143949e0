#pragma once

#include <type_traits>

#include "platform/ZkExport.h"
#include "platform/ZkNames.h"

namespace ZkNd {

class AcGeScale3d;

// Whether Scale is a class other than ours with public double factors sx, sy
// and sz, as the geometry library's scale has.
template <class Scale, class = void>
struct IsForeignScale : std::false_type {
};
template <class Scale>
struct IsForeignScale<Scale,
                      std::void_t<decltype(Scale::sx), decltype(Scale::sy), decltype(Scale::sz)>>
    : std::bool_constant<std::is_class<Scale>::value &&
                         !std::is_base_of<AcGeScale3d, Scale>::value &&
                         std::is_same<decltype(Scale::sx), double>::value &&
                         std::is_same<decltype(Scale::sy), double>::value &&
                         std::is_same<decltype(Scale::sz), double>::value> {
};

// Stand-in for the host geometry library's three-factor scale. Beside that
// library (platform/ZkNames.h) it converts both ways with the real one, factor
// for factor: the real one is made by its (sx, sy, sz) constructor or, without
// one, by setting the three factors of a default one.
class AcGeScale3d {
public:
    AcGeScale3d() : sx(1.0), sy(1.0), sz(1.0) {}
    AcGeScale3d(double x, double y, double z) : sx(x), sy(y), sz(z) {}

    template <class Scale, std::enable_if_t<IsForeignScale<Scale>::value, int> = 0>
    AcGeScale3d(const Scale& s) : sx(s.sx), sy(s.sy), sz(s.sz)
    {
    }
    template <class Scale,
              std::enable_if_t<IsForeignScale<Scale>::value &&
                                   (std::is_constructible<Scale, double, double, double>::value ||
                                    std::is_default_constructible<Scale>::value),
                               int> = 0>
    operator Scale() const
    {
        if constexpr (std::is_constructible<Scale, double, double, double>::value) {
            return Scale(sx, sy, sz);
        } else {
            Scale s;
            s.sx = sx;
            s.sy = sy;
            s.sz = sz;
            return s;
        }
    }

    bool operator==(const AcGeScale3d& o) const { return sx == o.sx && sy == o.sy && sz == o.sz; }
    bool operator!=(const AcGeScale3d& o) const { return !(*this == o); }

    double sx;
    double sy;
    double sz;

    ZKND_API static const AcGeScale3d kIdentity;  // 1, 1, 1
};

}  // namespace ZkNd

#if ZKND_GLOBAL_ACGE_NAMES
using ZkNd::AcGeScale3d;
#endif
