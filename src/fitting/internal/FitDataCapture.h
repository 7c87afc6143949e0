#pragma once

// What the fitting library's last Load or Save found (not exported).

#include "platform/internal/Diagnostics.h"

const ZkDiag::Capture& ZkFitDataLastCapture();
