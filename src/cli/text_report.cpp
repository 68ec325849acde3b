#include <vector>

#include "aspi/request_block.h"
#include "cli/runs.h"
#include "reports/device_reports.h"
#include "reports/display.h"
#include "reports/survey.h"

namespace {

// The window's detailed display of one adapter and target.
void ReportInDetail(std::int32_t adapter, std::int32_t target, TerminalWindow& window) {
  window.Step(adapter, target);
  CurrentAdapter = adapter;
  CurrentTarget = target;
  ReportDeviceType(CurrentTarget, CurrentAdapter);
  ReportInquiry(CurrentTarget, CurrentAdapter);
  ReportCapacity(CurrentTarget, CurrentAdapter);
}

std::vector<std::int32_t> ChosenAdapters(const Options& options) {
  if (options.adapter) return {*options.adapter};
  std::vector<std::int32_t> adapters;
  for (std::int32_t adapter = 0; adapter < AdapterCount; ++adapter) adapters.push_back(adapter);
  return adapters;
}

}  // namespace

int RunTextReport(const Options& options, TerminalWindow& window) {
  const TargetStep step = [&window](std::int32_t adapter, std::int32_t target) {
    window.Step(adapter, target);
  };

  window.detailed = false;
  SurveyHostAdapters();
  window.WriteEmptyLine();
  // The window ends right after start-up; no display runs.
  if (window.endRequested) return 1;

  if (options.target) {
    window.detailed = true;
    ReportInDetail(*options.adapter, *options.target, window);
  } else if (options.detailed) {
    window.detailed = true;
    bool first = true;
    for (const std::int32_t adapter : ChosenAdapters(options)) {
      for (const std::int32_t target : AnsweringTargets(adapter, step)) {
        if (!first) window.WriteEmptyLine();
        first = false;
        ReportInDetail(adapter, target, window);
      }
    }
  } else if (options.adapter) {
    ReportAdapterSimply(*options.adapter, step);
  } else {
    ReportEveryAdapterSimply(step);
  }
  return 0;
}
