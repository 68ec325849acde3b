#include <vector>

#include "aspi/request_block.h"
#include "cli/lookahead.h"
#include "cli/runs.h"
#include "cli/units.h"
#include "reports/device_reports.h"
#include "reports/display.h"
#include "reports/identity_report.h"
#include "reports/logical_units.h"
#include "reports/survey.h"

namespace {

// The window's detailed display of one device, then its identity.
void ShowInDetail(const Unit& unit, AdapterTraitsCache& traits) {
  CurrentAdapter = unit.adapter;
  CurrentTarget = unit.target;
  ReportDeviceType(CurrentTarget, CurrentAdapter, unit.lun);
  ReportInquiry(CurrentTarget, CurrentAdapter, unit.lun);
  const auto inquiry = CompletedInquiry();
  ReportCapacity(CurrentTarget, CurrentAdapter, unit.lun);
  ReportIdentity(IdentityOf(unit, inquiry, traits));
}

void ReportInDetail(const Unit& unit, TerminalWindow& window, AdapterTraitsCache& traits,
                    Lookahead& lookahead) {
  window.Step(unit, unit.lun != 0);
  lookahead.Enter(ScanPiece::Kind::Unit, unit);
  ShowInDetail(unit, traits);
}

// The simple display's lines of one unit, as the window asks LUN 0.
void ShowSimply(const Unit& unit) {
  CurrentTarget = unit.target;
  ReportDeviceType(CurrentTarget, CurrentAdapter, unit.lun);
  ReportInquiry(CurrentTarget, CurrentAdapter, unit.lun);
}

std::vector<std::int32_t> ChosenAdapters(const Options& options) {
  if (options.adapter) return {*options.adapter};
  std::vector<std::int32_t> adapters;
  for (std::int32_t adapter = 0; adapter < AdapterCount; ++adapter) adapters.push_back(adapter);
  return adapters;
}

// The units of a target that a scan of every LUN shows: in simple mode
// LUN 0 of targets 0 to 7 in any case, with the window's lines, then each
// other LUN that answers; in detailed mode those that answer.
std::vector<Unit> ShownUnits(const Unit& lunZero, const std::vector<std::uint8_t>& luns,
                             bool detailed) {
  std::vector<Unit> units;
  if (!detailed && InWindowRange(lunZero)) units.push_back(lunZero);
  for (const std::uint8_t lun : luns) {
    const Unit unit{.adapter = lunZero.adapter, .target = lunZero.target, .lun = lun};
    if (detailed || !InWindowRange(unit)) units.push_back(unit);
  }
  return units;
}

// The simple display of every target and LUN of one adapter: the window's
// lines for targets 0 to 7 at LUN 0, as it shows them; each other unit
// that answers under a header of its own; then the window's blank line.
void ReportAdapterWidely(std::int32_t adapter, TerminalWindow& window, AdapterTraitsCache& traits,
                         Lookahead& lookahead) {
  CurrentAdapter = adapter;
  for (std::int32_t target = 0; target < traits.Of(adapter).targetIds; ++target) {
    const Unit lunZero{.adapter = adapter, .target = target, .lun = 0};
    const std::vector<std::uint8_t> luns = UnitsOfTarget(lunZero, traits, window, lookahead);
    for (const Unit& unit : ShownUnits(lunZero, luns, false)) {
      if (!InWindowRange(unit)) window.Step(unit, true);
      lookahead.Enter(ScanPiece::Kind::Unit, unit);
      if (!InWindowRange(unit)) ReportUnitHeader(unit);
      ShowSimply(unit);
    }
  }
  MainWindow->AppendMemo1(" ");
}

// What RunTextReport asks, piece by piece, for its lookahead: an adapter's
// traits where its devices need them, and without --all in detailed mode
// the targets that answer; each target's LUNs; each unit's display.
class TextPlan final : public ScanPlan {
 public:
  TextPlan(const Options& options, const std::vector<std::int32_t>& adapters)
      : options_(options), adapters_(adapters) {}

  std::vector<ScanPiece> Ask(const ScanPiece& piece) override {
    const Unit& unit = piece.unit;
    std::vector<ScanPiece> after;
    const auto add = [&](ScanPiece::Kind kind, const Unit& at, const AdapterTraits& traits) {
      after.push_back({.kind = kind, .unit = at, .traits = traits});
    };
    switch (piece.kind) {
      case ScanPiece::Kind::Unit:
        if (options_.detailed) {
          AdapterTraitsCache traits;
          traits.Remember(unit.adapter, piece.traits);
          ShowInDetail(unit, traits);
        } else {
          CurrentAdapter = unit.adapter;
          ShowSimply(unit);
        }
        break;
      case ScanPiece::Kind::Target: {
        const auto luns = LogicalUnits(unit, piece.traits.residualCounts);
        for (const Unit& shown : ShownUnits(unit, luns, options_.detailed))
          add(ScanPiece::Kind::Unit, shown, piece.traits);
        break;
      }
      case ScanPiece::Kind::Adapter: {
        AdapterTraitsCache cache;
        const AdapterTraits traits = TraitsOf(unit.adapter, cache);
        const auto kind = options_.all ? ScanPiece::Kind::Target : ScanPiece::Kind::Unit;
        for (const std::int32_t target : TargetsOf(unit.adapter, traits, {}))
          add(kind, {.adapter = unit.adapter, .target = target, .lun = 0}, traits);
        AddNextAdapter(after, adapters_, unit.adapter);
        break;
      }
    }
    return after;
  }

  // An adapter's traits, asked before its devices where they need them.
  AdapterTraits TraitsOf(std::int32_t adapter, AdapterTraitsCache& cache) const {
    if (!options_.all && !options_.detailed) return {};
    return cache.Of(adapter);
  }

  // The targets of an adapter the scan goes through: with --all every one
  // its traits name, else in detailed mode those that answer, else 0 to 7.
  std::vector<std::int32_t> TargetsOf(std::int32_t adapter, const AdapterTraits& traits,
                                      const TargetStep& step) const {
    std::vector<std::int32_t> targets;
    if (!options_.all && options_.detailed) return AnsweringTargets(adapter, step);
    const std::int32_t count = options_.all ? traits.targetIds : 8;
    for (std::int32_t target = 0; target < count; ++target) targets.push_back(target);
    return targets;
  }

 private:
  const Options& options_;
  const std::vector<std::int32_t>& adapters_;
};

}  // namespace

int RunTextReport(const Options& options, TerminalWindow& window) {
  AdapterTraitsCache traits;

  window.detailed = false;
  SurveyHostAdapters();
  window.WriteEmptyLine();
  // The window ends right after start-up; no display runs.
  if (window.endRequested) return 1;

  const std::vector<std::int32_t> adapters = ChosenAdapters(options);
  TextPlan plan(options, adapters);
  // One detailed display has nothing to ask ahead of.
  const int inFlight = options.target ? 1 : RequestsInFlightPerAdapter();
  Lookahead lookahead(plan, FirstPieces(adapters), window, inFlight);
  const TargetStep step = [&window](const Unit& unit) { window.Step(unit, false); };

  if (options.target) {
    window.detailed = true;
    const Unit unit{.adapter = *options.adapter, .target = *options.target, .lun = 0};
    ReportInDetail(unit, window, traits, lookahead);
  } else if (options.detailed) {
    window.detailed = true;
    bool first = true;
    const auto show = [&](const Unit& unit) {
      if (!first) window.WriteEmptyLine();
      first = false;
      if (!InWindowRange(unit)) ReportUnitHeader(unit);
      ReportInDetail(unit, window, traits, lookahead);
    };
    for (const std::int32_t adapter : adapters) {
      lookahead.Enter(ScanPiece::Kind::Adapter, {.adapter = adapter, .target = 0, .lun = 0});
      const AdapterTraits adapterTraits = plan.TraitsOf(adapter, traits);
      if (!options.all) {
        for (const std::int32_t target : plan.TargetsOf(adapter, adapterTraits, step))
          show({.adapter = adapter, .target = target, .lun = 0});
        continue;
      }
      for (std::int32_t target = 0; target < adapterTraits.targetIds; ++target) {
        const Unit lunZero{.adapter = adapter, .target = target, .lun = 0};
        for (const std::uint8_t lun : UnitsOfTarget(lunZero, traits, window, lookahead))
          show({.adapter = adapter, .target = target, .lun = lun});
      }
    }
  } else if (options.all) {
    for (const std::int32_t adapter : adapters) {
      lookahead.Enter(ScanPiece::Kind::Adapter, {.adapter = adapter, .target = 0, .lun = 0});
      ReportAdapterWidely(adapter, window, traits, lookahead);
    }
  } else {
    const TargetStep enter = [&](const Unit& unit) {
      step(unit);
      lookahead.Enter(ScanPiece::Kind::Unit, unit);
    };
    if (options.adapter) {
      ReportAdapterSimply(*options.adapter, enter);
    } else {
      ReportEveryAdapterSimply(enter);
    }
  }
  return 0;
}
