#pragma once

// The one way the library learns the product data directory (not exported;
// defined in ZkHost.cpp beside the host registration).

#include "platform/CString.h"

// The registered host's answer, or the current working directory in the
// library's path form with a trailing backslash when no host is registered.
CString GetDataDirectory();
