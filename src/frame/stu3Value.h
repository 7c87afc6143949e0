#pragma once
// Kept for callers that include it by its old place.
#include "platform/stu3Value.h"
