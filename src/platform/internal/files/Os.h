#pragma once

// Operating-system calls the library makes (not exported). On Windows these
// are the system's own; elsewhere the platform layer provides them with the
// same names and meaning: CoCreateGuid in Guid_posix.cpp, CopyFileW in
// FileSystem_posix.cpp.

#include "platform/ZkGuid.h"

#if defined(_WIN32)
#include <objbase.h>
#include <windows.h>
#else
// Fills *pguid with a new random GUID; 0 on success.
long CoCreateGuid(GUID* pguid);
// Copies a file; with bFailIfExists 0 an existing target is overwritten.
// Non-zero on success. Paths use the library's backslash form.
int CopyFileW(const wchar_t* lpExistingFileName, const wchar_t* lpNewFileName, int bFailIfExists);
#endif
