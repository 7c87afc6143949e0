#include "nodedetail/NodeDetailResData.h"

#include <utility>

#include "platform/CXTPPropExchange.h"
#include "platform/internal/files/Os.h"
#include "platform/internal/text/Number.h"
#include "platform/internal/text/Unicode.h"

namespace {

enum TokenClass { kDigit, kLetter, kOther };

TokenClass ClassOf(wchar_t ch)
{
    const unsigned u = ZkText::Unit(ch);
    if (u >= L'0' && u <= L'9')
        return kDigit;
    if ((u >= L'A' && u <= L'Z') || (u >= L'a' && u <= L'z'))
        return kLetter;
    return kOther;
}

// End of the token that starts at nStart: the run of units of one class.
size_t TokenEnd(const wchar_t* p, size_t n, size_t nStart)
{
    const TokenClass cls = ClassOf(p[nStart]);
    size_t i = nStart + 1;
    while (i < n && ClassOf(p[i]) == cls)
        ++i;
    return i;
}

// a < b for two numeric tokens, by their values as _wtof reads them. Runs of at
// most 15 significant digits are exact doubles, so they compare as digit
// strings without a conversion; anything else goes through the conversion.
bool NumericLess(const wchar_t* a, size_t na, const wchar_t* b, size_t nb)
{
    if (ClassOf(a[0]) == kDigit && ClassOf(b[0]) == kDigit) {
        const wchar_t* pa = a;
        const wchar_t* pb = b;
        size_t la = na;
        size_t lb = nb;
        while (la > 0 && *pa == L'0') {
            ++pa;
            --la;
        }
        while (lb > 0 && *pb == L'0') {
            ++pb;
            --lb;
        }
        if (la <= 15 && lb <= 15) {
            if (la != lb)
                return la < lb;
            return ZkText::CompareOrdinal(pa, la, pb, lb) < 0;
        }
    }
    return ZkNumber::ParseLeading(a, na) < ZkNumber::ParseLeading(b, nb);
}

}  // namespace

NodeDetailResData::NodeDetailResData() : m_bCheck(false) {}

NodeDetailResData::NodeDetailResData(const wchar_t* pszName)
    : m_strDisplayName(pszName), m_strDescription(pszName), m_bCheck(false)
{
    // A failed CoCreateGuid leaves the all-zero GUID.
    _GUID guid = {};
    CoCreateGuid(&guid);
    SetGuid(guid);
}

NodeDetailResData::NodeDetailResData(const NodeDetailResData&) = default;
NodeDetailResData& NodeDetailResData::operator=(const NodeDetailResData&) = default;
NodeDetailResData::NodeDetailResData(NodeDetailResData&&) noexcept = default;

NodeDetailResData& NodeDetailResData::operator=(NodeDetailResData&& other) noexcept
{
    if (this != &other) {
        m_strGuid = std::move(other.m_strGuid);
        m_strDisplayName = std::move(other.m_strDisplayName);
        m_strDescription = std::move(other.m_strDescription);
        m_bCheck = other.m_bCheck;
    }
    return *this;
}

NodeDetailResData::~NodeDetailResData() = default;

CString NodeDetailResData::GetGuid() const
{
    return m_strGuid;
}

void NodeDetailResData::SetGuid(const _GUID& guid)
{
    m_strGuid.Format(L"%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                     static_cast<unsigned>(guid.Data1), static_cast<unsigned>(guid.Data2),
                     static_cast<unsigned>(guid.Data3), static_cast<unsigned>(guid.Data4[0]),
                     static_cast<unsigned>(guid.Data4[1]), static_cast<unsigned>(guid.Data4[2]),
                     static_cast<unsigned>(guid.Data4[3]), static_cast<unsigned>(guid.Data4[4]),
                     static_cast<unsigned>(guid.Data4[5]), static_cast<unsigned>(guid.Data4[6]),
                     static_cast<unsigned>(guid.Data4[7]));
}

void NodeDetailResData::SetGuid(const wchar_t* pszGuid)
{
    m_strGuid = pszGuid;
}

CString NodeDetailResData::GetDisplayName() const
{
    return m_strDisplayName;
}

void NodeDetailResData::SetDisplayName(const wchar_t* pszName)
{
    m_strDisplayName = pszName;
}

CString NodeDetailResData::GetDescription() const
{
    return m_strDescription;
}

void NodeDetailResData::SetDescription(const wchar_t* pszDescription)
{
    m_strDescription = pszDescription;
}

bool NodeDetailResData::GetCheck() const
{
    return m_bCheck;
}

void NodeDetailResData::SetCheck(const bool& bCheck)
{
    m_bCheck = bCheck;
}

bool NodeDetailResData::operator<(const NodeDetailResData& other)
{
    // Sorting a large library calls this millions of times: the names are
    // walked in place, once, up to the first differing unit, and only a digit
    // run that holds it is read further.
    const wchar_t* a = m_strDisplayName.GetString();
    const wchar_t* b = other.m_strDisplayName.GetString();
    const size_t na = static_cast<size_t>(m_strDisplayName.GetLength());
    const size_t nb = static_cast<size_t>(other.m_strDisplayName.GetLength());
    const size_t nCommon = na < nb ? na : nb;
    size_t p = 0;
    while (p < nCommon && a[p] == b[p])
        ++p;

    // Everything before the token that holds unit p - 1 is alike in both. That
    // token differs when it goes on past p in either name.
    if (p > 0) {
        const TokenClass cls = ClassOf(a[p - 1]);
        const bool bMoreA = p < na && ClassOf(a[p]) == cls;
        const bool bMoreB = p < nb && ClassOf(b[p]) == cls;
        if (bMoreA || bMoreB) {
            if (cls == kDigit) {
                size_t s = p - 1;
                while (s > 0 && ClassOf(a[s - 1]) == kDigit)
                    --s;
                return NumericLess(a + s, TokenEnd(a, na, s) - s, b + s, TokenEnd(b, nb, s) - s);
            }
            if (bMoreA && bMoreB)
                return ZkText::Unit(a[p]) < ZkText::Unit(b[p]);
            return bMoreB;  // of two tokens, the one that is a prefix comes first
        }
    }

    // Alike up to p, where the next tokens of both start.
    if (p == na || p == nb)
        return na < nb;
    const TokenClass ca = ClassOf(a[p]);
    const TokenClass cb = ClassOf(b[p]);
    if (ca == kDigit && cb == kDigit)
        return NumericLess(a + p, TokenEnd(a, na, p) - p, b + p, TokenEnd(b, nb, p) - p);
    if (ca == kDigit || cb == kDigit)
        return ca == kDigit;  // numbers before text
    return ZkText::Unit(a[p]) < ZkText::Unit(b[p]);
}

void NodeDetailResData::DoPropExchange(CXTPPropExchange* pPX)
{
    pPX->PX_String(L"GuId", m_strGuid);
    pPX->PX_String(L"DisplayName", m_strDisplayName);
    pPX->PX_String(L"Description", m_strDescription);
}
