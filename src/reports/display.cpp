#include "reports/display.h"

#include "aspi/executor.h"
#include "aspi/request_block.h"
#include "reports/ask_about_target.h"
#include "reports/device_reports.h"
#include "reports/report_window.h"

namespace {

constexpr std::int32_t LastTargetId = 7;

void ReportTargetsOfCurrentAdapter(const TargetStep& step) {
  for (CurrentTarget = 0; CurrentTarget <= LastTargetId; ++CurrentTarget) {
    if (step) step({.adapter = CurrentAdapter, .target = CurrentTarget, .lun = 0});
    ReportDeviceType(CurrentTarget, CurrentAdapter);
    ReportInquiry(CurrentTarget, CurrentAdapter);
  }
  MainWindow->AppendMemo1(" ");
}

}  // namespace

void ReportAdapterSimply(std::int32_t adapter, const TargetStep& step) {
  CurrentAdapter = adapter;
  ReportTargetsOfCurrentAdapter(step);
}

void ReportEveryAdapterSimply(const TargetStep& step) {
  // The bound is read once, before the first request.
  const std::int32_t adapters = AdapterCount;
  for (CurrentAdapter = 0; CurrentAdapter < adapters; ++CurrentAdapter) {
    ReportTargetsOfCurrentAdapter(step);
  }
}

std::vector<std::int32_t> AnsweringTargets(std::int32_t adapter, const TargetStep& step) {
  std::vector<std::int32_t> answering;
  for (CurrentTarget = 0; CurrentTarget <= LastTargetId; ++CurrentTarget) {
    const Unit unit{.adapter = adapter, .target = CurrentTarget, .lun = 0};
    if (step) step(unit);
    AskAboutTarget(SC_GET_DEV_TYPE, unit);
    if (RequestBlock.SRB_Status == SS_COMP) answering.push_back(CurrentTarget);
  }
  return answering;
}
