#pragma once

// The records of the fitting library: a fitting's connection points, the
// fitting itself and the group of fittings of one type.

#include <vector>

#include "fitting/ZkEnums.h"
#include "platform/CString.h"
#include "platform/ZkExport.h"
#include "platform/stu3Value.h"

namespace ZkNd {
class CXTPPropExchange;
}  // namespace ZkNd

// One connection point of a fitting.
class ZKND_API ConnectorData {
public:
    // At the origin, angle 0, no connection type, Index 0.
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

    // Reads or writes "Pos", "Angle", "ConType" and "Index"; a property
    // missing while reading leaves its field as it was. A null exchange does
    // nothing.
    void DoPropExchange(ZkNd::CXTPPropExchange* pPX);

private:
    stu3Value m_pos;
    double m_dAngle;
    Pipe::ConnectionType m_conType;
    int m_nIndex;
};

// One fitting of the library: what is drawn (block, scale, direction), how
// it is shown and where it connects. The record owns its connectors.
class ZKND_API FittingData {
public:
    // Empty texts, zero vectors, scale 1, no connectors, unchecked, no type.
    FittingData();
    FittingData(const FittingData& src);
    FittingData(FittingData&& src) noexcept;
    FittingData& operator=(const FittingData& src);
    FittingData& operator=(FittingData&& src) noexcept;
    ~FittingData();

    // The fitting's GUID text, stored as given.
    ZkNd::CString GUID() const;
    void SetGUID(const wchar_t* pszGUID);
    stu3Value GetPos() const;
    void SetPos(const stu3Value& pos);
    ZkNd::CString GetBlockName() const;
    void SetBlockName(const wchar_t* pszName);
    ZkNd::CString GetDisplayName() const;
    void SetDisplayName(const wchar_t* pszName);
    ZkNd::CString GetDescription() const;
    void SetDescription(const wchar_t* pszDescription);
    stu3Value GetDirection() const;
    void SetDirection(const stu3Value& direction);
    // Where the fitting's support sits.
    stu3Value GetButtressPos() const;
    void SetButtressPos(const stu3Value& pos);
    double GetScale() const;
    void SetScale(double dScale);
    // Selection mark for deleting marked fittings; not persisted.
    bool GetCheck() const;
    void SetCheck(const bool& bCheck);
    // The type of the group the fitting belongs to; persisted by the group.
    NodeDetailEx::FittingType GetFitType() const;
    void SetFitType(const NodeDetailEx::FittingType& fitType);

    // Number of connectors.
    int GetConNum() const;
    // Replaces the caller's list with copies of all connectors; always true.
    bool GetConnector(std::vector<ConnectorData>& vecConnector) const;
    void SetConnector(const std::vector<ConnectorData>& vecConnector);
    // The first connector whose Index is nIndex (a connector number, not a
    // position), or null. Valid until the connectors change.
    const ConnectorData* GetConnectorAt(int nIndex);

    // Reads or writes everything but Check and FitType, the connectors as
    // "Connector" items of a "vecConnector" section. Reading appends to the
    // connectors already held. A null exchange does nothing.
    void DoPropExchange(ZkNd::CXTPPropExchange* pPX);

private:
    // The library's lookups compare names and GUID texts in place, and so
    // does a save that merges.
    friend class CFitDataManager;
    friend struct ZkFittingFields;

    ZkNd::CString m_strGUID;
    stu3Value m_pos;
    ZkNd::CString m_strBlockName;
    ZkNd::CString m_strDisplayName;
    ZkNd::CString m_strDescription;
    stu3Value m_direction;
    stu3Value m_buttressPos;
    double m_dScale;
    std::vector<ConnectorData> m_vecConnector;
    bool m_bCheck;
    NodeDetailEx::FittingType m_fitType;
};

// The fittings of one fitting type, in library order.
class ZKND_API FittingInfo {
public:
    // No type, no fittings.
    FittingInfo();
    FittingInfo(const FittingInfo& src);
    FittingInfo(FittingInfo&& src) noexcept;
    FittingInfo& operator=(const FittingInfo& src);
    FittingInfo& operator=(FittingInfo&& src) noexcept;
    ~FittingInfo();

    NodeDetailEx::FittingType GetFitType() const;
    void SetFitType(const NodeDetailEx::FittingType& fitType);
    // The group's own list: callers edit the group through it. Valid while
    // the group lives.
    std::vector<FittingData>& GetVecFitData();
    void SetVecFitData(const std::vector<FittingData>& vecFitData);

    // "FitType", then one "FitRow" item per fitting. Fittings read take the
    // group's type and are appended to those already held. A null exchange
    // does nothing.
    void DoPropExchange(ZkNd::CXTPPropExchange* pPX);

private:
    // A save that merges reads groups it holds as const.
    friend struct ZkFittingFields;

    NodeDetailEx::FittingType m_fitType;
    std::vector<FittingData> m_vecFitData;
};
