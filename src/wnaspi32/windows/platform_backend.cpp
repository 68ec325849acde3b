// The Windows build of the layer is a test double: it answers from a bus
// file, and without one it finds no host adapter.
#include "wnaspi32/front/backend.h"

namespace wnaspi32 {

std::unique_ptr<Backend> MakeLinuxBackend() { return MakeNoAdaptersBackend(); }

}  // namespace wnaspi32
