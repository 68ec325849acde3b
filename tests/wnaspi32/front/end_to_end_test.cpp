// Backends laid end to end: each numbers its own adapters from 0, the
// whole count is in every adapter inquiry, and a one-byte adapter number
// reaches no further than 255.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "wnaspi32/front/end_to_end.h"

namespace {

// Where a request arrived: which backend, and the adapter number it got.
using Arrival = std::pair<char, int>;

class NamedBackend final : public wnaspi32::Backend {
 public:
  NamedBackend(char name, int count, std::vector<Arrival>& arrivals)
      : name_(name), count_(count), arrivals_(arrivals) {}
  std::uint32_t SupportInfo() override { return 0; }
  int AdapterCount() override {
    ++counted;
    return count_;
  }
  std::uint8_t HostAdapterInquiry(int adapter, SRB& srb) override {
    Arrive(adapter);
    srb.HA_SCSI_ID = static_cast<std::uint8_t>(adapter);
    return inquiryStatus;
  }
  std::uint8_t GetDeviceType(int adapter, SRB&) override { return Arrive(adapter); }
  std::uint8_t GetDiskInfo(int adapter, SRB&) override { return Arrive(adapter); }
  std::uint8_t ExecScsiCommand(int adapter, SRB&, std::uint8_t*, std::uint32_t) override {
    return Arrive(adapter);
  }
  std::optional<std::uint8_t> DeviceTypeOf(int adapter, const SRB&) override {
    return Arrive(adapter);
  }

  std::uint8_t inquiryStatus = SS_COMP;
  int counted = 0;

 private:
  std::uint8_t Arrive(int adapter) {
    arrivals_.push_back({name_, adapter});
    return SS_COMP;
  }
  const char name_;
  const int count_;
  std::vector<Arrival>& arrivals_;
};

struct Laid {
  std::vector<Arrival> arrivals;
  std::vector<NamedBackend*> parts;
  int noneFound = 0;
  std::unique_ptr<wnaspi32::Backend> layer;

  explicit Laid(std::vector<int> counts) {
    std::vector<std::unique_ptr<wnaspi32::Backend>> backends;
    char name = 'a';
    for (const int count : counts) {
      auto part = std::make_unique<NamedBackend>(name++, count, arrivals);
      parts.push_back(part.get());
      backends.push_back(std::move(part));
    }
    layer = wnaspi32::LayEndToEnd(std::move(backends), [this] { ++noneFound; });
  }
};

TEST(EndToEndTest, EachBackendGetsItsOwnAdapterNumbers) {
  Laid laid({2, 0, 3});
  ASSERT_EQ(laid.layer->AdapterCount(), 5);
  EXPECT_EQ(laid.layer->SupportInfo(), 0x0105u);
  const Arrival expected[] = {{'a', 0}, {'a', 1}, {'c', 0}, {'c', 1}, {'c', 2}};
  for (int adapter = 0; adapter < 5; ++adapter) {
    SCOPED_TRACE(adapter);
    SRB srb{};
    srb.SRB_HaId = static_cast<std::uint8_t>(adapter);
    laid.arrivals.clear();
    EXPECT_EQ(laid.layer->HostAdapterInquiry(adapter, srb), SS_COMP);
    EXPECT_EQ(laid.layer->GetDeviceType(adapter, srb), SS_COMP);
    EXPECT_EQ(laid.layer->GetDiskInfo(adapter, srb), SS_COMP);
    EXPECT_EQ(laid.layer->ExecScsiCommand(adapter, srb, nullptr, 0), SS_COMP);
    EXPECT_EQ(laid.layer->DeviceTypeOf(adapter, srb), SS_COMP);
    EXPECT_EQ(laid.arrivals, std::vector<Arrival>(5, expected[adapter]));
    // The whole count, and the program's own adapter number left alone.
    EXPECT_EQ(srb.HA_Count, 5);
    EXPECT_EQ(srb.SRB_HaId, adapter);
  }
  // The adapters are counted once, at first use.
  for (const NamedBackend* part : laid.parts) EXPECT_EQ(part->counted, 1);
  EXPECT_EQ(laid.noneFound, 0);
}

TEST(EndToEndTest, AFailedInquiryKeepsTheCountItWasSent) {
  Laid laid({1, 1});
  laid.parts[1]->inquiryStatus = SS_ERR;
  SRB srb{};
  srb.HA_Count = 0xEE;
  EXPECT_EQ(laid.layer->HostAdapterInquiry(1, srb), SS_ERR);
  EXPECT_EQ(srb.HA_Count, 0xEE);
}

TEST(EndToEndTest, NoMoreThan255AdaptersInAll) {
  Laid laid({200, 100});
  ASSERT_EQ(laid.layer->AdapterCount(), 255);
  EXPECT_EQ(laid.layer->SupportInfo(), 0x01FFu);
  SRB srb{};
  laid.layer->GetDeviceType(254, srb);
  EXPECT_EQ(laid.arrivals, (std::vector<Arrival>{{'b', 54}}));
}

TEST(EndToEndTest, NoAdapterAnywhereIsSaidOnce) {
  for (const std::vector<int>& counts : {std::vector<int>{}, {0}, {0, 0}}) {
    SCOPED_TRACE(counts.size());
    Laid laid(counts);
    EXPECT_EQ(laid.layer->SupportInfo(), std::uint32_t{SS_NO_ADAPTERS} << 8);
    EXPECT_EQ(laid.layer->AdapterCount(), 0);
    EXPECT_EQ(laid.noneFound, 1);
  }
}

}  // namespace
