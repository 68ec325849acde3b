// The shipped layer reads no bus files: the simulated bus belongs to the
// test layer. A program started on one (WNASPI32_BUS, busview-report
// --bus) gets an unusable layer and is told why, rather than the machine
// it did not ask for.
#include <cstdio>

#include "wnaspi32/front/backend.h"

namespace wnaspi32 {

std::unique_ptr<Backend> MakeSimBackend(const char* busFile) {
  std::fprintf(stderr, "wnaspi32: this layer reads no bus files (%s); the test layer does\n",
               busFile);
  return MakeNoAdaptersBackend();
}

}  // namespace wnaspi32
