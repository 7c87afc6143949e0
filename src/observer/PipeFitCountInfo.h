#pragma once

// The records that modules post through the observer manager, the
// fitting-count entry and the rename record, and the connector record of a
// pipe-fitting entity snapshot.

#include "platform/CString.h"
#include "platform/ZkExport.h"
#include "platform/stu3Value.h"

// One fitting-count entry: a position and values that the host modules agree
// on. Defaults: nValue1 -1, nValue2 300, nValue3 100, the rest zero or empty.
struct ZKND_API PIPE_FIT_COUNT_INFO {
    stu3Value ptPos;
    ZkNd::CString strText1;
    int nValue1;
    ZkNd::CString strText2;
    int nValue2;
    int nValue3;
    ZkNd::CString strText3;
    ZkNd::CString strText4;

    PIPE_FIT_COUNT_INFO();
    PIPE_FIT_COUNT_INFO(const PIPE_FIT_COUNT_INFO& src);
    ~PIPE_FIT_COUNT_INFO();
    PIPE_FIT_COUNT_INFO& operator=(const PIPE_FIT_COUNT_INFO& src);
    // Moves let the ordering put entries in place without copying texts.
    PIPE_FIT_COUNT_INFO(PIPE_FIT_COUNT_INFO&& src) noexcept;
    PIPE_FIT_COUNT_INFO& operator=(PIPE_FIT_COUNT_INFO&& src) noexcept;

    // Compares nValue1, nValue2, nValue3 exactly and strText2, strText4
    // ignoring case; the position and the other two texts take no part.
    bool operator==(const PIPE_FIT_COUNT_INFO& other);
};

// The two names of a fitting rename, carried from one module to another; both
// empty by default.
struct ZKND_API PIPE_FIT_MODIFYNAME {
    ZkNd::CString strName1;
    ZkNd::CString strName2;

    PIPE_FIT_MODIFYNAME();
    PIPE_FIT_MODIFYNAME(const PIPE_FIT_MODIFYNAME& src);
    ~PIPE_FIT_MODIFYNAME();
    PIPE_FIT_MODIFYNAME& operator=(const PIPE_FIT_MODIFYNAME& src);
};

// A connector of a pipe-fitting entity snapshot. Defaults: nValue2 -1, the
// rest zero or empty.
struct ZKND_API stConnector {
    stu3Value ptPos;
    double dValue;
    int nValue1;
    ZkNd::CString strText;
    int nValue2;

    stConnector();
    stConnector(const stConnector& src);
    ~stConnector();
    stConnector& operator=(const stConnector& src);

    // Position exact, dValue within 0.0001, the rest exact (text case-sensitive).
    bool operator==(const stConnector& other);
};
