#pragma once

// A problem as check --json and fix --json give it.

#include <nlohmann/json.hpp>

#include "Check.h"

namespace zknd {

inline nlohmann::ordered_json ProblemJson(const Problem& problem)
{
    nlohmann::ordered_json item = {
        {"path", problem.strPath},   {"line", problem.nLine},
        {"column", problem.nColumn}, {"severity", problem.bError ? "error" : "warning"},
        {"code", problem.strCode},   {"message", problem.strMessage}};
    if (problem.bRecord) {
        item["guid"] = problem.strGuid;
        item["name"] = problem.strName;
    }
    return item;
}

}  // namespace zknd
