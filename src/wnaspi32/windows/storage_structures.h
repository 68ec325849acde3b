// Windows' storage structures and control codes as Microsoft documents
// them (ntddscsi.h, ntddstor.h, ntdddisk.h, winioctl.h), declared here so
// the backend and its tests build on every platform. The Windows builds
// check each layout against the SDK's own.
#pragma once

#include <cstddef>
#include <cstdint>

namespace wnaspi32::windows {

// CTL_CODE: device type, function, transfer method and the access the
// caller's handle must have been opened with.
constexpr std::uint32_t ControlCode(std::uint32_t deviceType, std::uint32_t function,
                                    std::uint32_t method, std::uint32_t access) {
  return (deviceType << 16) | (access << 14) | (function << 2) | method;
}
constexpr std::uint32_t AnyAccess = 0, ReadAccess = 1, WriteAccess = 2;
// The access bits a control code asks of its handle.
constexpr std::uint32_t AccessOf(std::uint32_t code) { return (code >> 14) & 3; }

constexpr std::uint32_t DeviceController = 0x04;  // IOCTL_SCSI_BASE
constexpr std::uint32_t DeviceDisk = 0x07;        // IOCTL_DISK_BASE
constexpr std::uint32_t DeviceMassStorage = 0x2D;  // IOCTL_STORAGE_BASE

constexpr std::uint32_t IoctlScsiPassThrough =
    ControlCode(DeviceController, 0x401, 0, ReadAccess | WriteAccess);
constexpr std::uint32_t IoctlScsiGetInquiryData = ControlCode(DeviceController, 0x403, 0, AnyAccess);
constexpr std::uint32_t IoctlScsiPassThroughDirect =
    ControlCode(DeviceController, 0x405, 0, ReadAccess | WriteAccess);
constexpr std::uint32_t IoctlScsiGetAddress = ControlCode(DeviceController, 0x406, 0, AnyAccess);
constexpr std::uint32_t IoctlStorageGetDeviceNumber =
    ControlCode(DeviceMassStorage, 0x420, 0, AnyAccess);
constexpr std::uint32_t IoctlStorageReadCapacity =
    ControlCode(DeviceMassStorage, 0x450, 0, ReadAccess);
constexpr std::uint32_t IoctlStorageQueryProperty =
    ControlCode(DeviceMassStorage, 0x500, 0, AnyAccess);
constexpr std::uint32_t IoctlDiskGetDriveGeometry = ControlCode(DeviceDisk, 0x000, 0, AnyAccess);
constexpr std::uint32_t IoctlDiskGetDriveGeometryEx = ControlCode(DeviceDisk, 0x028, 0, AnyAccess);

// Windows error codes the backend tells apart.
constexpr std::uint32_t ErrorSuccess = 0;
constexpr std::uint32_t ErrorFileNotFound = 2;
constexpr std::uint32_t ErrorAccessDenied = 5;
constexpr std::uint32_t ErrorInvalidHandle = 6;
constexpr std::uint32_t ErrorNotReady = 21;
constexpr std::uint32_t ErrorCrc = 23;
constexpr std::uint32_t ErrorGenFailure = 31;
constexpr std::uint32_t ErrorSharingViolation = 32;
constexpr std::uint32_t ErrorNotSupported = 50;
constexpr std::uint32_t ErrorDevNotExist = 55;
constexpr std::uint32_t ErrorInvalidParameter = 87;
constexpr std::uint32_t ErrorSemTimeout = 121;
constexpr std::uint32_t ErrorInsufficientBuffer = 122;
constexpr std::uint32_t ErrorBusy = 170;
constexpr std::uint32_t ErrorMoreData = 234;
constexpr std::uint32_t ErrorOperationAborted = 995;
constexpr std::uint32_t ErrorIoPending = 997;
constexpr std::uint32_t ErrorInvalidFunction = 1;
constexpr std::uint32_t ErrorDeviceNotConnected = 1167;
constexpr std::uint32_t ErrorNoSuchDevice = 433;
constexpr std::uint32_t ErrorIoDevice = 1117;
constexpr std::uint32_t ErrorBusReset = 1111;
constexpr std::uint32_t ErrorTimeout = 1460;
constexpr std::uint32_t ErrorDeviceRemoved = 1617;

// SCSI_PASS_THROUGH; DataBufferOffset is pointer-sized.
struct ScsiPassThrough {
  std::uint16_t Length;
  std::uint8_t ScsiStatus;
  std::uint8_t PathId;
  std::uint8_t TargetId;
  std::uint8_t Lun;
  std::uint8_t CdbLength;
  std::uint8_t SenseInfoLength;
  std::uint8_t DataIn;
  std::uint32_t DataTransferLength;
  std::uint32_t TimeOutValue;  // seconds
  std::uintptr_t DataBufferOffset;
  std::uint32_t SenseInfoOffset;
  std::uint8_t Cdb[16];
};
constexpr std::uint8_t ScsiIoctlDataOut = 0, ScsiIoctlDataIn = 1, ScsiIoctlDataUnspecified = 2;

// SCSI_BUS_DATA and SCSI_ADAPTER_BUS_INFO: IOCTL_SCSI_GET_INQUIRY_DATA's
// answer, one SCSI_BUS_DATA per bus (path ID), each leading by offset to a
// chain of SCSI_INQUIRY_DATA.
struct ScsiBusData {
  std::uint8_t NumberOfLogicalUnits;
  std::uint8_t InitiatorBusId;
  std::uint32_t InquiryDataOffset;  // from the start of the answer; 0: none
};
struct ScsiAdapterBusInfo {
  std::uint8_t NumberOfBuses;
  ScsiBusData BusData[1];
};
struct ScsiInquiryData {
  std::uint8_t PathId;
  std::uint8_t TargetId;
  std::uint8_t Lun;
  std::uint8_t DeviceClaimed;  // a class driver owns the unit
  std::uint32_t InquiryDataLength;
  std::uint32_t NextInquiryDataOffset;  // from the start of the answer; 0: last
  std::uint8_t InquiryData[1];
};

struct ScsiAddress {
  std::uint32_t Length;
  std::uint8_t PortNumber;
  std::uint8_t PathId;
  std::uint8_t TargetId;
  std::uint8_t Lun;
};

// STORAGE_PROPERTY_QUERY and what it answers.
constexpr std::uint32_t StorageDeviceProperty = 0, StorageAdapterProperty = 1,
                        StorageDeviceIdProperty = 2;
constexpr std::uint32_t PropertyStandardQuery = 0;
struct StoragePropertyQuery {
  std::uint32_t PropertyId;
  std::uint32_t QueryType;
  std::uint8_t AdditionalParameters[1];
};
struct StorageDescriptorHeader {
  std::uint32_t Version;
  std::uint32_t Size;
};
// STORAGE_BUS_TYPE, the values the backend names.
constexpr std::uint32_t BusTypeUnknown = 0, BusTypeScsi = 1, BusTypeAtapi = 2, BusTypeAta = 3,
                        BusTypeUsb = 7, BusTypeRaid = 8, BusTypeSas = 10, BusTypeSata = 11,
                        BusTypeNvme = 17;
struct StorageDeviceDescriptor {
  std::uint32_t Version;
  std::uint32_t Size;
  std::uint8_t DeviceType;  // the SCSI peripheral device type
  std::uint8_t DeviceTypeModifier;
  std::uint8_t RemovableMedia;
  std::uint8_t CommandQueueing;
  std::uint32_t VendorIdOffset;  // NUL-terminated texts; 0: none
  std::uint32_t ProductIdOffset;
  std::uint32_t ProductRevisionOffset;
  std::uint32_t SerialNumberOffset;
  std::uint32_t BusType;
  std::uint32_t RawPropertiesLength;
  std::uint8_t RawDeviceProperties[1];
};
struct StorageDeviceIdDescriptor {
  std::uint32_t Version;
  std::uint32_t Size;
  std::uint32_t NumberOfIdentifiers;
  std::uint8_t Identifiers[1];  // StorageIdentifier records
};
// STORAGE_IDENTIFIER: a page 83h designator, its code set, type and
// association as the page has them.
struct StorageIdentifier {
  std::uint32_t CodeSet;
  std::uint32_t Type;
  std::uint16_t IdentifierSize;
  std::uint16_t NextOffset;  // from this record; 0: last
  std::uint32_t Association;
  std::uint8_t Identifier[1];
};

struct StorageReadCapacity {
  std::uint32_t Version;
  std::uint32_t Size;
  std::uint32_t BlockLength;
  alignas(8) std::int64_t NumberOfBlocks;
  std::int64_t DiskLength;
};

struct StorageDeviceNumber {
  std::uint32_t DeviceType;  // FILE_DEVICE_DISK 7, FILE_DEVICE_CD_ROM 2, ...
  std::uint32_t DeviceNumber;
  std::uint32_t PartitionNumber;
};

// MEDIA_TYPE, the values the backend names.
constexpr std::uint32_t MediaUnknown = 0, MediaRemovable = 11, MediaFixed = 12;
struct DiskGeometry {
  alignas(8) std::int64_t Cylinders;
  std::uint32_t MediaType;
  std::uint32_t TracksPerCylinder;
  std::uint32_t SectorsPerTrack;
  std::uint32_t BytesPerSector;
};
struct DiskGeometryEx {
  DiskGeometry Geometry;
  std::int64_t DiskSize;
  std::uint8_t Data[1];
};

}  // namespace wnaspi32::windows
