#include <uuid/uuid.h>

#include <cstdint>

#include "platform/internal/files/Os.h"

long CoCreateGuid(GUID* pguid)
{
    if (pguid == nullptr)
        return -1;
    uuid_t u;
    uuid_generate_random(u);
    // Big-endian fields, so the text form matches the uuid's own.
    pguid->Data1 = (static_cast<std::uint32_t>(u[0]) << 24) |
                   (static_cast<std::uint32_t>(u[1]) << 16) |
                   (static_cast<std::uint32_t>(u[2]) << 8) | u[3];
    pguid->Data2 = static_cast<std::uint16_t>((u[4] << 8) | u[5]);
    pguid->Data3 = static_cast<std::uint16_t>((u[6] << 8) | u[7]);
    for (int i = 0; i < 8; ++i)
        pguid->Data4[i] = u[8 + i];
    return 0;
}
