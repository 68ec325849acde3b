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
void ReportInDetail(const Unit& unit, TerminalWindow& window, AdapterTraitsCache& traits) {
  window.Step(unit, unit.lun != 0);
  CurrentAdapter = unit.adapter;
  CurrentTarget = unit.target;
  ReportDeviceType(CurrentTarget, CurrentAdapter, unit.lun);
  ReportInquiry(CurrentTarget, CurrentAdapter, unit.lun);
  const auto inquiry = CompletedInquiry();
  ReportCapacity(CurrentTarget, CurrentAdapter, unit.lun);
  ReportIdentity(IdentityOf(unit, inquiry, traits));
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
    const Unit lunZero{.adapter = adapter, .target = target, .lun = 0};
    const std::vector<std::uint8_t> luns = UnitsOfTarget(lunZero, traits, window);
    if (InWindowRange(lunZero)) {
      CurrentTarget = target;
      ReportDeviceType(CurrentTarget, CurrentAdapter);
      ReportInquiry(CurrentTarget, CurrentAdapter);
    }
    for (const std::uint8_t lun : luns) {
      const Unit unit{.adapter = adapter, .target = target, .lun = lun};
      if (InWindowRange(unit)) continue;
      window.Step(unit, true);
      ReportUnitHeader(unit);
      CurrentTarget = target;
      ReportDeviceType(CurrentTarget, CurrentAdapter, lun);
      ReportInquiry(CurrentTarget, CurrentAdapter, lun);
    }
  }
  MainWindow->AppendMemo1(" ");
}

}  // namespace

int RunTextReport(const Options& options, TerminalWindow& window) {
  const TargetStep step = [&window](const Unit& unit) { window.Step(unit, false); };
  AdapterTraitsCache traits;

  window.detailed = false;
  SurveyHostAdapters();
  window.WriteEmptyLine();
  // The window ends right after start-up; no display runs.
  if (window.endRequested) return 1;

  if (options.target) {
    window.detailed = true;
    const Unit unit{.adapter = *options.adapter, .target = *options.target, .lun = 0};
    ReportInDetail(unit, window, traits);
  } else if (options.detailed) {
    window.detailed = true;
    bool first = true;
    const auto show = [&](const Unit& unit) {
      if (!first) window.WriteEmptyLine();
      first = false;
      if (!InWindowRange(unit)) ReportUnitHeader(unit);
      ReportInDetail(unit, window, traits);
    };
    for (const std::int32_t adapter : ChosenAdapters(options)) {
      if (!options.all) {
        for (const std::int32_t target : AnsweringTargets(adapter, step))
          show({.adapter = adapter, .target = target, .lun = 0});
        continue;
      }
      for (std::int32_t target = 0; target < traits.Of(adapter).targetIds; ++target) {
        const Unit lunZero{.adapter = adapter, .target = target, .lun = 0};
        for (const std::uint8_t lun : UnitsOfTarget(lunZero, traits, window))
          show({.adapter = adapter, .target = target, .lun = lun});
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
