#pragma once

// What the node-detail library's last Load or Save found (not exported).

#include "platform/internal/Diagnostics.h"

const ZkDiag::Capture& ZkNodeDetailLastCapture();
