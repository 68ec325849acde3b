// The layer's threads: a command that never ends holds only its own
// thread, and the end waits for every command given.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <vector>

#include "wnaspi32/linux/workers.h"

namespace {

using namespace std::chrono_literals;
using wnaspi32::linux_io::Workers;

TEST(Workers, AHungJobHoldsUpNobodyAndTheEndWaitsForEveryJob) {
  std::promise<void> release;
  std::atomic<int> finished{0};
  std::vector<std::promise<void>> done(20);
  {
    Workers workers;
    workers.Start([&finished, released = release.get_future().share()] {
      released.wait();
      ++finished;
    });
    for (std::promise<void>& job : done) {
      workers.Start([&job] { job.set_value(); });
      if (job.get_future().wait_for(10s) != std::future_status::ready) {
        ADD_FAILURE() << "held up behind the hung job";
        break;
      }
      workers.Start([] { throw 1; });
    }
    release.set_value();
    for (int i = 0; i < 5; ++i) workers.Start([&finished] { ++finished; });
  }
  EXPECT_EQ(finished, 6);
}

}  // namespace
