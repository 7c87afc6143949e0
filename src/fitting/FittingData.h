#pragma once

// The records of the fitting library: a fitting's connection points, the
// fitting itself and the group of fittings of one type.

#include <vector>

#include "frame/ZkEnums.h"
#include "frame/stu3Value.h"
#include "platform/CString.h"
#include "platform/ZkExport.h"

class CXTPPropExchange;

// One connection point of a fitting.
class ZKND_API ConnectorData {
public:
    ConnectorData();
    ConnectorData(const ConnectorData& src);
    ConnectorData& operator=(const ConnectorData& src);
    ~ConnectorData();

    stu3Value GetPos() const;
    void SetPos(const stu3Value& pos);
    double GetAngle() const;
    void SetAngle(const double& dAngle);
    Pipe::ConnectionType GetConType() const;
    void SetConType(const Pipe::ConnectionType& conType);
    int GetIndex() const;
    void SetIndex(const int& nIndex);

    // Pos, Angle, ConType, Index.
    void DoPropExchange(CXTPPropExchange* pPX);

private:
    stu3Value m_pos;
    double m_dAngle;
    Pipe::ConnectionType m_conType;
    int m_nIndex;
};

// One fitting of the library.
class ZKND_API FittingData {
public:
    FittingData();
    FittingData(const FittingData& src);
    FittingData(FittingData&& src) noexcept;
    FittingData& operator=(const FittingData& src);
    FittingData& operator=(FittingData&& src) noexcept;
    ~FittingData();

    CString GUID() const;
    void SetGUID(const wchar_t* pszGUID);
    stu3Value GetPos() const;
    void SetPos(const stu3Value& pos);
    CString GetBlockName() const;
    void SetBlockName(const wchar_t* pszName);
    CString GetDisplayName() const;
    void SetDisplayName(const wchar_t* pszName);
    CString GetDescription() const;
    void SetDescription(const wchar_t* pszDescription);
    stu3Value GetDirection() const;
    void SetDirection(const stu3Value& direction);
    stu3Value GetButtressPos() const;
    void SetButtressPos(const stu3Value& pos);
    double GetScale() const;
    void SetScale(double dScale);
    bool GetCheck() const;
    void SetCheck(const bool& bCheck);
    NodeDetailEx::FittingType GetFitType() const;
    void SetFitType(const NodeDetailEx::FittingType& fitType);

    int GetConNum() const;
    // Replaces the caller's list with copies of all connectors; always true.
    bool GetConnector(std::vector<ConnectorData>& vecConnector) const;
    void SetConnector(const std::vector<ConnectorData>& vecConnector);
    // The first connector whose Index is nIndex (a connector number, not a
    // position), or null. Valid until the connectors change.
    const ConnectorData* GetConnectorAt(int nIndex);

    // Everything but Check and FitType; reading appends to the connectors.
    void DoPropExchange(CXTPPropExchange* pPX);

private:
    CString m_strGUID;
    stu3Value m_pos;
    CString m_strBlockName;
    CString m_strDisplayName;
    CString m_strDescription;
    stu3Value m_direction;
    stu3Value m_buttressPos;
    double m_dScale;
    std::vector<ConnectorData> m_vecConnector;
    bool m_bCheck;
    NodeDetailEx::FittingType m_fitType;
};

// The fittings of one fitting type.
class ZKND_API FittingInfo {
public:
    FittingInfo();
    FittingInfo(const FittingInfo& src);
    FittingInfo(FittingInfo&& src) noexcept;
    FittingInfo& operator=(const FittingInfo& src);
    FittingInfo& operator=(FittingInfo&& src) noexcept;
    ~FittingInfo();

    NodeDetailEx::FittingType GetFitType() const;
    void SetFitType(const NodeDetailEx::FittingType& fitType);
    // The group's own list: callers edit the group through it.
    std::vector<FittingData>& GetVecFitData();
    void SetVecFitData(const std::vector<FittingData>& vecFitData);

    // FitType, then one "FitRow" per fitting. Fittings read take the group's
    // type and are appended to those already held.
    void DoPropExchange(CXTPPropExchange* pPX);

private:
    NodeDetailEx::FittingType m_fitType;
    std::vector<FittingData> m_vecFitData;
};
