// fake-windows-bus [--user] BUS: prints the bus file on which the simulated
// layer shows what the layer on Windows shows over the fake storage stack
// serving BUS, as an administrator or (--user) as an ordinary user.
// scripts/test-windows runs the Linux busview-report on it.
#include <cstdio>
#include <string>

#include "nearest_bus.h"
#include "wnaspi32/sim/bus_file.h"

int main(int argc, char** argv) {
  using namespace wnaspi32;
  const bool user = argc == 3 && std::string(argv[1]) == "--user";
  if (argc != 2 && !user) {
    std::fprintf(stderr, "usage: fake-windows-bus [--user] BUS\n");
    return 2;
  }
  std::string error;
  const auto bus = sim::LoadBusFile(argv[argc - 1], error);
  if (!bus) {
    std::fprintf(stderr, "fake-windows-bus: %s\n", error.c_str());
    return 1;
  }
  const auto rights = user ? fake_windows::Rights::OrdinaryUser : fake_windows::Rights::Administrator;
  std::fputs(fake_windows::BusFileText(fake_windows::NearestBus(*bus, rights)).c_str(), stdout);
  return 0;
}
