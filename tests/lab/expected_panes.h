// The lines busview's panes should show for the devices the peers saw, as
// UTF-8 text: what the device pane shows of each CP932 line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "peer_view.h"

namespace lab {

// One ASPI host adapter: a (host, channel) pair of the kernel, or an NVMe
// controller (`host` its number).
struct AspiAdapter {
  unsigned host = 0;
  unsigned channel = 0;
  std::string name;  // the host's driver, as lsscsi -H names it; NVMe: the transport
  bool nvme = false;
};

// Every (host, channel) that has a device, and channel 0 of each host that
// has none, ascending; then the NVMe controllers, ascending.
std::vector<AspiAdapter> ExpectedAdapters(const PeerView& view);

// The device at target `target`, LUN 0, of `adapter`; null when none.
const PeerDevice* DeviceAt(const PeerView& view, const AspiAdapter& adapter, unsigned target);

// "label" padded to 22 columns of its CP932 width, "= ", value.
std::string Labelled(std::string_view label, int cp932Width, std::string_view value);

std::string DeviceTypeWord(int type);

// What a pane shows of these bytes: up to the first NUL.
std::string Visible(const std::vector<std::uint8_t>& bytes, std::size_t first, std::size_t count);

// "2,097,152.00": the capacity in megabytes with "," and ".".
std::string Megabytes(const Capacity& capacity);

std::vector<std::string> HostAdapterPane(const std::vector<AspiAdapter>& adapters);
std::vector<std::string> AdapterItems(const std::vector<AspiAdapter>& adapters);
std::vector<std::string> TargetItems(const PeerView& view, const AspiAdapter& adapter);

std::vector<std::string> InquiryLines(const std::vector<std::uint8_t>& inquiry, bool detailed);
std::vector<std::string> CapacityLines(const std::optional<Capacity>& capacity);

// The INT 13h view of a disk the detailed display gives, from the BIOS
// drive that read the disk's signature, else from the kernel's geometry.
struct DiskView {
  std::optional<unsigned> int13Drive;
  unsigned heads = 0;
  unsigned sectors = 0;
};
std::vector<std::string> DiskLines(const std::optional<DiskView>& disk);

// A device without INQUIRY data is one whose INQUIRY failed: no lines.
std::vector<std::string> SimpleDisplay(const PeerView& view,
                                       const std::vector<AspiAdapter>& adapters);
// `inquiry` is the data the display decodes (the peers' or the kernel's copy).
std::vector<std::string> DetailedDisplay(unsigned adapterIndex, const PeerDevice& device,
                                         const std::vector<std::uint8_t>& inquiry,
                                         const std::optional<DiskView>& disk);

}  // namespace lab
