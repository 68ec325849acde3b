// Placeholder until the Linux backend is built.
#include "backend.h"
namespace wnaspi32 {
std::unique_ptr<Backend> MakeSgBackend() { return MakeNoAdaptersBackend(); }
}  // namespace wnaspi32
