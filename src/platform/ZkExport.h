#pragma once

// One export macro for the whole library. The library is built with hidden
// visibility, so only what carries ZKND_API is reachable from outside.
#if defined(ZKNODEDETAIL_STATIC)
#define ZKND_API
#elif defined(_WIN32)
#if defined(ZKNODEDETAIL_BUILDING)
#define ZKND_API __declspec(dllexport)
#else
#define ZKND_API __declspec(dllimport)
#endif
#else
#define ZKND_API __attribute__((visibility("default")))
#endif
