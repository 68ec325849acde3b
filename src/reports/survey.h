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
