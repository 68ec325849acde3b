#include <vector>

#include "aspi/request_block.h"
#include "cli/runs.h"
#include "cli/units.h"
#include "reports/device_reports.h"
#include "reports/display.h"
#include "reports/identity_report.h"
#include "reports/survey.h"

namespace {

// The window's detailed display of one device, then its identity.
void ReportInDetail(std::int32_t adapter, std::int32_t target, std::uint8_t lun,
                    TerminalWindow& window, AdapterTraitsCache& traits) {
  window.Step(adapter, target, lun == 0 ? std::nullopt : std::optional<int>(lun));
  CurrentAdapter = adapter;
  CurrentTarget = target;
  ReportDeviceType(CurrentTarget, CurrentAdapter, lun);
  ReportInquiry(CurrentTarget, CurrentAdapter, lun);
  const auto inquiry = CompletedInquiry();
  ReportCapacity(CurrentTarget, CurrentAdapter, lun);
  ReportIdentity(IdentityOf(adapter, target, lun, inquiry, traits));
}

std::vector<std::int32_t> ChosenAdapters(const Options& options) {
  if (options.adapter) return {*options.adapter};
  std::vector<std::int32_t> adapters;
  for (std::int32_t adapter = 0; adapter < AdapterCount; ++adapter) adapters.push_back(adapter);
  return adapters;
}

// The simple display of every target and LUN of one adapter: the window's
// lines for targets 0 to 7 at LUN 0, as it shows them; each other unit
// that answers under a header of its own; then the window's blank line.
void ReportAdapterWidely(std::int32_t adapter, TerminalWindow& window, AdapterTraitsCache& traits) {
  CurrentAdapter = adapter;
  for (std::int32_t target = 0; target < traits.Of(adapter).targetIds; ++target) {
    const std::vector<std::uint8_t> units = UnitsOfTarget(adapter, target, traits, window);
    if (InWindowRange(target, 0)) {
      CurrentTarget = target;
      ReportDeviceType(CurrentTarget, CurrentAdapter);
      ReportInquiry(CurrentTarget, CurrentAdapter);
    }
    for (const std::uint8_t lun : units) {
      if (InWindowRange(target, lun)) continue;
      window.Step(adapter, target, lun);
      ReportUnitHeader(adapter, target, lun);
      CurrentTarget = target;
      ReportDeviceType(CurrentTarget, CurrentAdapter, lun);
      ReportInquiry(CurrentTarget, CurrentAdapter, lun);
    }
  }
  MainWindow->AppendMemo1(" ");
}

}  // namespace

int RunTextReport(const Options& options, TerminalWindow& window) {
  const TargetStep step = [&window](std::int32_t adapter, std::int32_t target) {
    window.Step(adapter, target);
  };
  AdapterTraitsCache traits;

  window.detailed = false;
  SurveyHostAdapters();
  window.WriteEmptyLine();
  // The window ends right after start-up; no display runs.
  if (window.endRequested) return 1;

  if (options.target) {
    window.detailed = true;
    ReportInDetail(*options.adapter, *options.target, 0, window, traits);
  } else if (options.detailed) {
    window.detailed = true;
    bool first = true;
    const auto show = [&](std::int32_t adapter, std::int32_t target, std::uint8_t lun) {
      if (!first) window.WriteEmptyLine();
      first = false;
      if (!InWindowRange(target, lun)) ReportUnitHeader(adapter, target, lun);
      ReportInDetail(adapter, target, lun, window, traits);
    };
    for (const std::int32_t adapter : ChosenAdapters(options)) {
      if (!options.all) {
        for (const std::int32_t target : AnsweringTargets(adapter, step)) show(adapter, target, 0);
        continue;
      }
      for (std::int32_t target = 0; target < traits.Of(adapter).targetIds; ++target) {
        for (const std::uint8_t lun : UnitsOfTarget(adapter, target, traits, window))
          show(adapter, target, lun);
      }
    }
  } else if (options.all) {
    for (const std::int32_t adapter : ChosenAdapters(options))
      ReportAdapterWidely(adapter, window, traits);
  } else if (options.adapter) {
    ReportAdapterSimply(*options.adapter, step);
  } else {
    ReportEveryAdapterSimply(step);
  }
  return 0;
}
