#pragma once

// The platform GUID type. On Windows it is the system's own; elsewhere a
// layout-compatible struct of the same name.
#if defined(_WIN32)
#include <guiddef.h>
#else
#include <cstdint>

struct _GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};
typedef _GUID GUID;
#endif
