#include "observer/PipeFitCountInfo.h"

#include <cmath>

namespace {

const double kTolerance = 0.0001;

}  // namespace

PIPE_FIT_COUNT_INFO::PIPE_FIT_COUNT_INFO()
    : ptPos(0.0, 0.0, 0.0),
      strText1(L""),
      nValue1(-1),
      strText2(L""),
      nValue2(300),
      nValue3(100),
      strText3(L""),
      strText4(L"")
{
}

PIPE_FIT_COUNT_INFO::PIPE_FIT_COUNT_INFO(const PIPE_FIT_COUNT_INFO&) = default;
PIPE_FIT_COUNT_INFO::~PIPE_FIT_COUNT_INFO() = default;
PIPE_FIT_COUNT_INFO& PIPE_FIT_COUNT_INFO::operator=(const PIPE_FIT_COUNT_INFO&) = default;

PIPE_FIT_COUNT_INFO::PIPE_FIT_COUNT_INFO(PIPE_FIT_COUNT_INFO&& src) noexcept = default;

PIPE_FIT_COUNT_INFO& PIPE_FIT_COUNT_INFO::operator=(PIPE_FIT_COUNT_INFO&& src) noexcept = default;

bool PIPE_FIT_COUNT_INFO::operator==(const PIPE_FIT_COUNT_INFO& other)
{
    if (nValue1 != other.nValue1)
        return false;
    if (strText2.CompareNoCase(other.strText2) != 0)
        return false;
    if (nValue2 != other.nValue2)
        return false;
    if (nValue3 != other.nValue3)
        return false;
    if (strText4.CompareNoCase(other.strText4) != 0)
        return false;
    return true;
}

PIPE_FIT_MODIFYNAME::PIPE_FIT_MODIFYNAME() : strName1(L""), strName2(L"") {}

PIPE_FIT_MODIFYNAME::PIPE_FIT_MODIFYNAME(const PIPE_FIT_MODIFYNAME&) = default;
PIPE_FIT_MODIFYNAME::~PIPE_FIT_MODIFYNAME() = default;
PIPE_FIT_MODIFYNAME& PIPE_FIT_MODIFYNAME::operator=(const PIPE_FIT_MODIFYNAME&) = default;

stConnector::stConnector()
    : ptPos(0.0, 0.0, 0.0), dValue(0.0), nValue1(0), strText(L""), nValue2(-1)
{
}

stConnector::stConnector(const stConnector&) = default;
stConnector::~stConnector() = default;
stConnector& stConnector::operator=(const stConnector&) = default;

bool stConnector::operator==(const stConnector& other)
{
    // A NaN fails every one of these comparisons, so it is never equal.
    return ptPos.x == other.ptPos.x && ptPos.y == other.ptPos.y && ptPos.z == other.ptPos.z &&
           std::fabs(dValue - other.dValue) <= kTolerance && nValue1 == other.nValue1 &&
           strText.Compare(other.strText) == 0 && nValue2 == other.nValue2;
}
