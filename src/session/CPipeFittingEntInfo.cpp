#include "session/CPipeFittingEntInfo.h"

stEntDetail::stEntDetail()
    : nValue1(-1),
      ptPos1(0.0, 0.0, 0.0),
      strText1(L""),
      strText2(L""),
      ptPos2(0.0, 0.0, 0.0),
      strText3(L""),
      strText4(L""),
      nValue2(1)
{
}

stEntDetail::stEntDetail(const stEntDetail&) = default;
stEntDetail::~stEntDetail() = default;
stEntDetail& stEntDetail::operator=(const stEntDetail&) = default;

CPipeFittingEntInfo::CPipeFittingEntInfo()
{
    m_scale = AcGeScale3d::kIdentity;
    m_vecConnector.clear();
    m_values.RemoveAll();
}

CPipeFittingEntInfo::CPipeFittingEntInfo(const CPipeFittingEntInfo& src)
{
    CopyFrom(src);
}

CPipeFittingEntInfo& CPipeFittingEntInfo::operator=(const CPipeFittingEntInfo& src)
{
    if (this != &src)
        CopyFrom(src);
    return *this;
}

// Members go in reverse order: the value set, the detail, the connectors.
CPipeFittingEntInfo::~CPipeFittingEntInfo() = default;

CPipeFittingEntInfo* CPipeFittingEntInfo::Data()
{
    return this;
}

void CPipeFittingEntInfo::CopyFrom(const CPipeFittingEntInfo& src)
{
    m_vecConnector.clear();
    for (const stConnector& con : src.m_vecConnector)
        m_vecConnector.push_back(con);
    m_detail = src.m_detail;
    m_scale = src.m_scale;
    m_values.RemoveAll();
    // An entry the set refuses to hand out is left out; the rest still come.
    for (int i = 0; i < src.m_values.Count(); ++i) {
        CString strName;
        NamedValue value;
        if (src.m_values.GetAt(i, strName, value))
            m_values.SetAt(strName, value);
    }
}
