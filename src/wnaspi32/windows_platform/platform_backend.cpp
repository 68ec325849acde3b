// The layer on Windows. Its backends, over Windows' own storage calls, are
// laid end to end here; there is none yet, so it finds no host adapter,
// and the Windows build runs on a bus file.
#include <memory>
#include <vector>

#include "wnaspi32/front/end_to_end.h"

namespace wnaspi32 {

std::unique_ptr<Backend> MakePlatformBackend() { return LayEndToEnd({}); }

}  // namespace wnaspi32
