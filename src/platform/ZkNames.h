#pragma once

// The library's stand-ins for the host platform's types live in namespace
// ZkNd, and the public headers always name them so: ZkNd::CString,
// ZkNd::POSITION, ZkNd::CXTPPropExchange and ZkNd::CXTPPropExchangeEnumerator,
// ZkNd::AcGeScale3d, ZkNd::NamedValueSet and ZkNd::NamedValue. Each is also
// named at global scope, as callers write it, unless the including module has
// the real library whose name it is. A module that has one says so before it
// includes our headers, having included that library's own headers first:
//
//   _MFC_VER (MFC defines it) or ZKND_MODULE_HAS_MFC   CString, POSITION
//   ZKND_MODULE_HAS_XTP         CXTPPropExchange, CXTPPropExchangeEnumerator
//   ZKND_MODULE_HAS_ACGE        AcGeScale3d
//   ZKND_MODULE_HAS_NAMEDVALUE  NamedValueSet, NamedValue
//
// The switches only withhold global names and add conversions to the
// module's own types, all inline: the library is one build, with the same
// exports, for every caller. docs/windows.md says what works with the
// module's types.

#if defined(_MFC_VER) || defined(ZKND_MODULE_HAS_MFC)
#define ZKND_GLOBAL_MFC_NAMES 0
#else
#define ZKND_GLOBAL_MFC_NAMES 1
#endif
#if defined(ZKND_MODULE_HAS_XTP)
#define ZKND_GLOBAL_XTP_NAMES 0
#else
#define ZKND_GLOBAL_XTP_NAMES 1
#endif
#if defined(ZKND_MODULE_HAS_ACGE)
#define ZKND_GLOBAL_ACGE_NAMES 0
#else
#define ZKND_GLOBAL_ACGE_NAMES 1
#endif
#if defined(ZKND_MODULE_HAS_NAMEDVALUE)
#define ZKND_GLOBAL_NAMEDVALUE_NAMES 0
#else
#define ZKND_GLOBAL_NAMEDVALUE_NAMES 1
#endif

// The library's own sources use the global names.
#if defined(ZKNODEDETAIL_BUILDING) && !(ZKND_GLOBAL_MFC_NAMES && ZKND_GLOBAL_XTP_NAMES && \
                                        ZKND_GLOBAL_ACGE_NAMES && ZKND_GLOBAL_NAMEDVALUE_NAMES)
#error "ZkNodeDetail is built without MFC and without the ZKND_MODULE_HAS_ switches"
#endif
