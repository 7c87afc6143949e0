#pragma once

// Enumerations that the library stores, compares and writes as plain
// integers. Only "not set" is named here: every other value belongs to the
// calling modules and passes through unchanged, so callers use
// static_cast<...>(n) for any int n.

namespace NodeDetailEx {

enum FittingType : int {
    kFittingTypeNone = -1,
};

}  // namespace NodeDetailEx

namespace Pipe {

enum ConnectionType : int {
    kConnectionTypeNone = -1,
};

}  // namespace Pipe
