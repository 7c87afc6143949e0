#pragma once

#include "platform/ZkExport.h"

// Three reals used for every position and direction.
struct ZKND_API stu3Value {
    double x;
    double y;
    double z;

    stu3Value() : x(0.0), y(0.0), z(0.0) {}
    stu3Value(double dx, double dy, double dz) : x(dx), y(dy), z(dz) {}
    stu3Value(const stu3Value& src) : x(src.x), y(src.y), z(src.z) {}
    stu3Value& operator=(const stu3Value& src)
    {
        if (this != &src) {
            x = src.x;
            y = src.y;
            z = src.z;
        }
        return *this;
    }
};
