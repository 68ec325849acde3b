// Windows' answers as bytes, laid out with the structures the Windows
// builds check against the SDK's: what a storage stack would return.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "wnaspi32/windows/storage_structures.h"

namespace wintest {

namespace w = wnaspi32::windows;
using Bytes = std::vector<std::uint8_t>;

template <typename T>
void Put(Bytes& bytes, std::size_t offset, const T& value) {
  if (bytes.size() < offset + sizeof value) bytes.resize(offset + sizeof value);
  std::memcpy(bytes.data() + offset, &value, sizeof value);
}

struct ListedUnit {
  std::uint8_t target, lun;
  bool claimed;
  Bytes inquiry;
};
struct ListedBus {
  std::uint8_t initiator;
  std::vector<ListedUnit> units;
};

// IOCTL_SCSI_GET_INQUIRY_DATA's answer: the bus table, then each bus's
// chain of units, each record on a 4-byte boundary.
inline Bytes PortList(const std::vector<ListedBus>& buses) {
  Bytes bytes(offsetof(w::ScsiAdapterBusInfo, BusData) + buses.size() * sizeof(w::ScsiBusData), 0);
  bytes[0] = static_cast<std::uint8_t>(buses.size());
  for (std::size_t b = 0; b < buses.size(); ++b) {
    const std::size_t at = offsetof(w::ScsiAdapterBusInfo, BusData) + b * sizeof(w::ScsiBusData);
    w::ScsiBusData data{.NumberOfLogicalUnits = static_cast<std::uint8_t>(buses[b].units.size()),
                        .InitiatorBusId = buses[b].initiator,
                        .InquiryDataOffset = 0};
    std::size_t previous = 0;
    for (const ListedUnit& unit : buses[b].units) {
      const std::size_t offset = (bytes.size() + 3) / 4 * 4;
      w::ScsiInquiryData record{};
      record.PathId = static_cast<std::uint8_t>(b);
      record.TargetId = unit.target;
      record.Lun = unit.lun;
      record.DeviceClaimed = unit.claimed;
      record.InquiryDataLength = static_cast<std::uint32_t>(unit.inquiry.size());
      Put(bytes, offset, record);
      bytes.resize(offset + offsetof(w::ScsiInquiryData, InquiryData));
      bytes.insert(bytes.end(), unit.inquiry.begin(), unit.inquiry.end());
      const auto at32 = static_cast<std::uint32_t>(offset);
      if (previous == 0)
        data.InquiryDataOffset = at32;
      else
        Put(bytes, previous + offsetof(w::ScsiInquiryData, NextInquiryDataOffset), at32);
      previous = offset;
    }
    Put(bytes, at, data);
  }
  return bytes;
}

inline Bytes Address(std::uint8_t port, std::uint8_t path, std::uint8_t target, std::uint8_t lun) {
  Bytes bytes;
  Put(bytes, 0,
      w::ScsiAddress{.Length = sizeof(w::ScsiAddress),
                     .PortNumber = port,
                     .PathId = path,
                     .TargetId = target,
                     .Lun = lun});
  return bytes;
}

struct Described {
  std::uint8_t type = 0;
  bool removable = false;
  std::string vendor = {}, product = {}, revision = {}, serial = {};
  std::uint32_t busType = w::BusTypeSata;
};

// STORAGE_DEVICE_DESCRIPTOR with its texts after the fixed part; an empty
// text has offset 0.
inline Bytes Descriptor(const Described& d) {
  Bytes bytes(offsetof(w::StorageDeviceDescriptor, RawDeviceProperties), 0);
  w::StorageDeviceDescriptor fixed{};
  fixed.Version = sizeof fixed;
  fixed.DeviceType = d.type;
  fixed.RemovableMedia = d.removable;
  fixed.BusType = d.busType;
  const auto text = [&](const std::string& s) -> std::uint32_t {
    if (s.empty()) return 0;
    const auto offset = static_cast<std::uint32_t>(bytes.size());
    bytes.insert(bytes.end(), s.begin(), s.end());
    bytes.push_back(0);
    return offset;
  };
  fixed.VendorIdOffset = text(d.vendor);
  fixed.ProductIdOffset = text(d.product);
  fixed.ProductRevisionOffset = text(d.revision);
  fixed.SerialNumberOffset = text(d.serial);
  fixed.Size = static_cast<std::uint32_t>(bytes.size());
  std::memcpy(bytes.data(), &fixed, offsetof(w::StorageDeviceDescriptor, RawDeviceProperties));
  return bytes;
}

struct Identifier {
  std::uint32_t codeSet, type, association;
  Bytes bytes;
};

// STORAGE_DEVICE_ID_DESCRIPTOR, each identifier on a 4-byte boundary.
inline Bytes DeviceIds(const std::vector<Identifier>& ids) {
  Bytes bytes(offsetof(w::StorageDeviceIdDescriptor, Identifiers), 0);
  for (std::size_t i = 0; i < ids.size(); ++i) {
    const std::size_t at = bytes.size();
    const std::size_t size = offsetof(w::StorageIdentifier, Identifier) + ids[i].bytes.size();
    w::StorageIdentifier record{};
    record.CodeSet = ids[i].codeSet;
    record.Type = ids[i].type;
    record.Association = ids[i].association;
    record.IdentifierSize = static_cast<std::uint16_t>(ids[i].bytes.size());
    record.NextOffset = i + 1 < ids.size() ? static_cast<std::uint16_t>((size + 3) / 4 * 4) : 0;
    Put(bytes, at, record);
    bytes.resize(at + offsetof(w::StorageIdentifier, Identifier));
    bytes.insert(bytes.end(), ids[i].bytes.begin(), ids[i].bytes.end());
    bytes.resize(at + (size + 3) / 4 * 4);
  }
  Put(bytes, offsetof(w::StorageDeviceIdDescriptor, NumberOfIdentifiers),
      static_cast<std::uint32_t>(ids.size()));
  Put(bytes, offsetof(w::StorageDeviceIdDescriptor, Size),
      static_cast<std::uint32_t>(bytes.size()));
  return bytes;
}

inline Bytes GeometryEx(std::uint32_t media, std::uint32_t heads, std::uint32_t sectors,
                        std::uint32_t bytesPerSector, std::int64_t diskSize) {
  w::DiskGeometryEx g{};
  g.Geometry.MediaType = media;
  g.Geometry.TracksPerCylinder = heads;
  g.Geometry.SectorsPerTrack = sectors;
  g.Geometry.BytesPerSector = bytesPerSector;
  g.Geometry.Cylinders =
      bytesPerSector == 0 ? 0 : diskSize / bytesPerSector / std::max(1u, heads * sectors);
  g.DiskSize = diskSize;
  Bytes bytes;
  Put(bytes, 0, g);
  bytes.resize(offsetof(w::DiskGeometryEx, Data));
  return bytes;
}

inline Bytes Geometry(std::uint32_t media) {
  w::DiskGeometry g{};
  g.MediaType = media;
  Bytes bytes;
  Put(bytes, 0, g);
  return bytes;
}

// What the port driver makes of a SCSI_PASS_THROUGH buffer: the SCSI
// status, the sense and the data written where the request says, and the
// lengths set to what came back.
inline Bytes PassThroughOutput(const Bytes& input, std::uint8_t status, const Bytes& sense,
                               const Bytes& data) {
  w::ScsiPassThrough spt;
  std::memcpy(&spt, input.data(), sizeof spt);
  Bytes output = input;
  spt.ScsiStatus = status;
  spt.SenseInfoLength =
      static_cast<std::uint8_t>(std::min<std::size_t>(sense.size(), spt.SenseInfoLength));
  std::copy_n(sense.begin(), spt.SenseInfoLength, output.begin() + spt.SenseInfoOffset);
  spt.DataTransferLength =
      static_cast<std::uint32_t>(std::min<std::size_t>(data.size(), spt.DataTransferLength));
  std::copy_n(data.begin(), spt.DataTransferLength,
              output.begin() + static_cast<std::ptrdiff_t>(spt.DataBufferOffset));
  std::memcpy(output.data(), &spt, sizeof spt);
  output.resize(spt.DataBufferOffset + spt.DataTransferLength);
  return output;
}

// The CDB of a SCSI_PASS_THROUGH buffer, and its address.
inline w::ScsiPassThrough PassThroughOf(const Bytes& input) {
  w::ScsiPassThrough spt;
  std::memcpy(&spt, input.data(), sizeof spt);
  return spt;
}

}  // namespace wintest
