#include "fitting/FittingData.h"

#include "platform/CXTPPropExchange.h"
#include "platform/internal/exchange/ExchangeAccess.h"
#include "platform/internal/records/ExchangeItems.h"

namespace {

// A position travels as one text property in the host's three-number form;
// a property that was not exchanged leaves the value alone.
void PX_U3Value(CXTPPropExchange* pPX, const wchar_t* pszName, stu3Value& value)
{
    ZkExchangeAccess::PX_U3Value(pPX, pszName, value);
}

template <typename Enum>
void PX_Enum(CXTPPropExchange* pPX, const wchar_t* pszName, Enum& value)
{
    int nValue = static_cast<int>(value);
    if (pPX->PX_Int(pszName, nValue))
        value = static_cast<Enum>(nValue);
}

}  // namespace

// ConnectorData

ConnectorData::ConnectorData()
    : m_pos(), m_dAngle(0.0), m_conType(Pipe::kConnectionTypeNone), m_nIndex(0)
{
}

ConnectorData::ConnectorData(const ConnectorData&) = default;
ConnectorData& ConnectorData::operator=(const ConnectorData&) = default;

ConnectorData::~ConnectorData() = default;

stu3Value ConnectorData::GetPos() const
{
    return m_pos;
}

void ConnectorData::SetPos(const stu3Value& pos)
{
    m_pos = pos;
}

double ConnectorData::GetAngle() const
{
    return m_dAngle;
}

void ConnectorData::SetAngle(const double& dAngle)
{
    m_dAngle = dAngle;
}

Pipe::ConnectionType ConnectorData::GetConType() const
{
    return m_conType;
}

void ConnectorData::SetConType(const Pipe::ConnectionType& conType)
{
    m_conType = conType;
}

int ConnectorData::GetIndex() const
{
    return m_nIndex;
}

void ConnectorData::SetIndex(const int& nIndex)
{
    m_nIndex = nIndex;
}

void ConnectorData::DoPropExchange(CXTPPropExchange* pPX)
{
    if (pPX == nullptr)
        return;
    PX_U3Value(pPX, L"Pos", m_pos);
    pPX->PX_Double(L"Angle", m_dAngle);
    PX_Enum(pPX, L"ConType", m_conType);
    pPX->PX_Int(L"Index", m_nIndex);
}

// FittingData

FittingData::FittingData()
    : m_strGUID(),
      m_pos(),
      m_strBlockName(),
      m_strDisplayName(),
      m_strDescription(),
      m_direction(),
      m_buttressPos(),
      m_dScale(1.0),
      m_vecConnector(),
      m_bCheck(false),
      m_fitType(NodeDetailEx::kFittingTypeNone)
{
}

FittingData::FittingData(const FittingData&) = default;
FittingData::FittingData(FittingData&&) noexcept = default;
FittingData& FittingData::operator=(const FittingData&) = default;
FittingData& FittingData::operator=(FittingData&&) noexcept = default;

FittingData::~FittingData() = default;

CString FittingData::GUID() const
{
    return m_strGUID;
}

void FittingData::SetGUID(const wchar_t* pszGUID)
{
    m_strGUID = pszGUID;
}

stu3Value FittingData::GetPos() const
{
    return m_pos;
}

void FittingData::SetPos(const stu3Value& pos)
{
    m_pos = pos;
}

CString FittingData::GetBlockName() const
{
    return m_strBlockName;
}

void FittingData::SetBlockName(const wchar_t* pszName)
{
    m_strBlockName = pszName;
}

CString FittingData::GetDisplayName() const
{
    return m_strDisplayName;
}

void FittingData::SetDisplayName(const wchar_t* pszName)
{
    m_strDisplayName = pszName;
}

CString FittingData::GetDescription() const
{
    return m_strDescription;
}

void FittingData::SetDescription(const wchar_t* pszDescription)
{
    m_strDescription = pszDescription;
}

stu3Value FittingData::GetDirection() const
{
    return m_direction;
}

void FittingData::SetDirection(const stu3Value& direction)
{
    m_direction = direction;
}

stu3Value FittingData::GetButtressPos() const
{
    return m_buttressPos;
}

void FittingData::SetButtressPos(const stu3Value& pos)
{
    m_buttressPos = pos;
}

double FittingData::GetScale() const
{
    return m_dScale;
}

void FittingData::SetScale(double dScale)
{
    m_dScale = dScale;
}

bool FittingData::GetCheck() const
{
    return m_bCheck;
}

void FittingData::SetCheck(const bool& bCheck)
{
    m_bCheck = bCheck;
}

NodeDetailEx::FittingType FittingData::GetFitType() const
{
    return m_fitType;
}

void FittingData::SetFitType(const NodeDetailEx::FittingType& fitType)
{
    m_fitType = fitType;
}

int FittingData::GetConNum() const
{
    return static_cast<int>(m_vecConnector.size());
}

bool FittingData::GetConnector(std::vector<ConnectorData>& vecConnector) const
{
    vecConnector = m_vecConnector;
    return true;
}

void FittingData::SetConnector(const std::vector<ConnectorData>& vecConnector)
{
    m_vecConnector = vecConnector;
}

const ConnectorData* FittingData::GetConnectorAt(int nIndex)
{
    for (const ConnectorData& connector : m_vecConnector) {
        if (connector.GetIndex() == nIndex)
            return &connector;
    }
    return nullptr;
}

void FittingData::DoPropExchange(CXTPPropExchange* pPX)
{
    if (pPX == nullptr)
        return;
    PX_U3Value(pPX, L"Pos", m_pos);
    pPX->PX_String(L"GUID", m_strGUID);
    pPX->PX_String(L"BlockName", m_strBlockName);
    pPX->PX_Double(L"Scale", m_dScale);
    pPX->PX_String(L"DisplayName", m_strDisplayName);
    pPX->PX_String(L"Description", m_strDescription);
    PX_U3Value(pPX, L"Direction", m_direction);
    PX_U3Value(pPX, L"ButtressPos", m_buttressPos);

    CXTPPropExchange secConnector = pPX->GetSection(L"vecConnector");
    if (!pPX->IsLoading())
        secConnector.EmptySection();
    ExchangeItems(secConnector, L"Connector", m_vecConnector, ItemEnd::kAfterItem);
}

// FittingInfo

FittingInfo::FittingInfo() : m_fitType(NodeDetailEx::kFittingTypeNone), m_vecFitData() {}

FittingInfo::FittingInfo(const FittingInfo&) = default;
FittingInfo::FittingInfo(FittingInfo&&) noexcept = default;
FittingInfo& FittingInfo::operator=(const FittingInfo&) = default;
FittingInfo& FittingInfo::operator=(FittingInfo&&) noexcept = default;

FittingInfo::~FittingInfo() = default;

NodeDetailEx::FittingType FittingInfo::GetFitType() const
{
    return m_fitType;
}

void FittingInfo::SetFitType(const NodeDetailEx::FittingType& fitType)
{
    m_fitType = fitType;
}

std::vector<FittingData>& FittingInfo::GetVecFitData()
{
    return m_vecFitData;
}

void FittingInfo::SetVecFitData(const std::vector<FittingData>& vecFitData)
{
    m_vecFitData = vecFitData;
}

void FittingInfo::DoPropExchange(CXTPPropExchange* pPX)
{
    if (pPX == nullptr)
        return;
    PX_Enum(pPX, L"FitType", m_fitType);

    // Fittings read take the group's type.
    ExchangeItems(*pPX, L"FitRow", m_vecFitData, ItemEnd::kPlain,
                  [this](FittingData& fitData) { fitData.SetFitType(m_fitType); });
}
