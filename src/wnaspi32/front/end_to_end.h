// Several backends' host adapters laid end to end, as one backend: the
// first one's adapters come first, the next one's after them, each backend
// numbering its own from 0.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "wnaspi32/front/backend.h"

namespace wnaspi32 {

// `backends` in their order, at most MostAdapters adapters in all. Each is
// asked its count once, at first use; when none has an adapter, `noneFound`
// runs then (to say why). An adapter inquiry's HA_Count is the whole count.
std::unique_ptr<Backend> LayEndToEnd(std::vector<std::unique_ptr<Backend>> backends,
                                     std::function<void()> noneFound = {});

}  // namespace wnaspi32
