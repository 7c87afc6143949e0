// The module entry point, built on Windows only. Loading creates nothing: the
// singletons are built on first use.
#if !defined(ZKNODEDETAIL_STATIC)
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE /*hInstance*/, DWORD /*dwReason*/, LPVOID /*lpReserved*/)
{
    return TRUE;
}
#endif
