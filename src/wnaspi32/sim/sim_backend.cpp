// Placeholder until the simulated bus is built.
#include "backend.h"
namespace wnaspi32 {
std::unique_ptr<Backend> MakeSimBackend(const char*) { return MakeNoAdaptersBackend(); }
}  // namespace wnaspi32
