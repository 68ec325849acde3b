// The host adapter survey the main window runs while it is created.
#pragma once

#include <cstdint>

// Probes the ASPI layer (error box and a request to end when it is not
// usable), clears Memo1, asks every host adapter for its names and fills
// Memo2, the ComboBox2 items and AdapterCount, all through MainWindow.
void SurveyHostAdapters();

// A host adapter inquiry of `adapter` in the cleared RequestBlock, executed
// without notification; the reply stands in RequestBlock.
void InquireHostAdapter(std::int32_t adapter);

// What a layer publishes of an adapter in HA_Unique, for busview-report's
// wider scans.
struct AdapterTraits {
  std::int32_t targetIds = 8;   // byte 3, and never fewer than the window's 0 to 7
  bool residualCounts = false;  // byte 2, bit 1
};
// From a host adapter inquiry of `adapter`; the defaults when it does not
// complete.
AdapterTraits AskAdapterTraits(std::int32_t adapter);
