// The two loops over target IDs 0 to 7 that the window's commands and the
// command-line front end share.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "reports/unit.h"

// Called before each target of a loop, with its LUN 0.
using TargetStep = std::function<void(const Unit& unit)>;

// The simple display of one adapter: for targets 0 to 7 the device type and
// inquiry reports, then a line holding a single blank. Sets CurrentAdapter
// and walks CurrentTarget.
void ReportAdapterSimply(std::int32_t adapter, const TargetStep& step = {});

// The simple display of every adapter, 0 to AdapterCount - 1; nothing when
// AdapterCount is 0 or less.
void ReportEveryAdapterSimply(const TargetStep& step = {});

// The adapter selection's scan: a get-device-type request for each target
// 0 to 7 (CurrentTarget walks them); the targets whose request completed,
// in ascending order.
std::vector<std::int32_t> AnsweringTargets(std::int32_t adapter, const TargetStep& step = {});
