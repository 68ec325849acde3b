// Drives the real main window the way a user does, through its controls,
// and reads what its panes and lists show, as UTF-8 lines.
#pragma once

#include <string>
#include <vector>

#include "reports/unit.h"

namespace lab {

std::vector<std::string> HostAdapterPaneLines();
std::vector<std::string> DevicePaneLines();
std::vector<std::string> AdapterListItems();

struct TargetList {
  std::vector<std::string> items;
  std::string text;
};
// Picks entry `index` of the adapter list, as a click on it does.
TargetList SelectAdapter(int index);

// Simple mode, then the display button.
std::vector<std::string> DisplaySimple();
// Picks the adapter, types the target, detailed mode, then the display
// button. The window asks LUN 0 only: another LUN throws.
std::vector<std::string> DisplayDetailed(const Unit& unit);

}  // namespace lab
