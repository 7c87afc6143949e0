#pragma once

// A snapshot of one pipe-fitting entity that host modules hand to one another
// through the session. The library only copies, stores and destroys it.

#include <vector>

#include "observer/PipeFitCountInfo.h"
#include "platform/AcGeScale3d.h"
#include "platform/CString.h"
#include "platform/NamedValue.h"
#include "platform/ZkExport.h"
#include "platform/stu3Value.h"

// The entity part of a snapshot. The values mean what the host modules agree
// on; the library copies them only. Defaults: nValue1 -1, nValue2 1, the rest
// zero or empty.
struct ZKND_API stEntDetail {
    int nValue1;
    stu3Value ptPos1;
    ZkNd::CString strText1;
    ZkNd::CString strText2;
    stu3Value ptPos2;
    ZkNd::CString strText3;
    ZkNd::CString strText4;
    int nValue2;

    stEntDetail();
    stEntDetail(const stEntDetail& src);
    ~stEntDetail();
    stEntDetail& operator=(const stEntDetail& src);
};

class ZKND_API CPipeFittingEntInfo {
public:
    // Identity scale, no connectors, a default detail and no named values.
    CPipeFittingEntInfo();
    // Deep copies: the copy shares nothing with its source.
    CPipeFittingEntInfo(const CPipeFittingEntInfo& src);
    CPipeFittingEntInfo& operator=(const CPipeFittingEntInfo& src);
    ~CPipeFittingEntInfo();

    // The snapshot itself.
    CPipeFittingEntInfo* Data();

    ZkNd::AcGeScale3d m_scale;
    std::vector<stConnector> m_vecConnector;
    stEntDetail m_detail;
    ZkNd::NamedValueSet m_values;

private:
    void CopyFrom(const CPipeFittingEntInfo& src);
};
