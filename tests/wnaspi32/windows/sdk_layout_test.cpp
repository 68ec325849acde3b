// Our declarations of Windows' storage structures, codes and errors
// against MinGW-w64's SDK headers: compiled in the Windows builds only,
// where a layout that differs stops the build.
// clang-format off: <windows.h> first, as the others need it.
#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>
#include <ntddstor.h>
#include <ntdddisk.h>
// clang-format on

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <vector>

#include "wnaspi32/windows/port_list.h"
#include "wnaspi32/windows/storage_structures.h"

namespace w = wnaspi32::windows;

#define SAME_SIZE(ours, sdk) \
  static_assert(sizeof(w::ours) == sizeof(sdk) && alignof(w::ours) == alignof(sdk), #sdk)
#define SAME_FIELD(ours, sdk, field)                                \
  static_assert(offsetof(w::ours, field) == offsetof(sdk, field) && \
                    sizeof(w::ours::field) == sizeof(sdk::field),   \
                #sdk "." #field)
#define SAME_VALUE(ours, sdk) static_assert(w::ours == static_cast<std::uint32_t>(sdk), #sdk)

SAME_SIZE(ScsiPassThrough, SCSI_PASS_THROUGH);
SAME_FIELD(ScsiPassThrough, SCSI_PASS_THROUGH, Length);
SAME_FIELD(ScsiPassThrough, SCSI_PASS_THROUGH, ScsiStatus);
SAME_FIELD(ScsiPassThrough, SCSI_PASS_THROUGH, PathId);
SAME_FIELD(ScsiPassThrough, SCSI_PASS_THROUGH, TargetId);
SAME_FIELD(ScsiPassThrough, SCSI_PASS_THROUGH, Lun);
SAME_FIELD(ScsiPassThrough, SCSI_PASS_THROUGH, CdbLength);
SAME_FIELD(ScsiPassThrough, SCSI_PASS_THROUGH, SenseInfoLength);
SAME_FIELD(ScsiPassThrough, SCSI_PASS_THROUGH, DataIn);
SAME_FIELD(ScsiPassThrough, SCSI_PASS_THROUGH, DataTransferLength);
SAME_FIELD(ScsiPassThrough, SCSI_PASS_THROUGH, TimeOutValue);
SAME_FIELD(ScsiPassThrough, SCSI_PASS_THROUGH, DataBufferOffset);
SAME_FIELD(ScsiPassThrough, SCSI_PASS_THROUGH, SenseInfoOffset);
SAME_FIELD(ScsiPassThrough, SCSI_PASS_THROUGH, Cdb);
SAME_VALUE(ScsiIoctlDataIn, SCSI_IOCTL_DATA_IN);
SAME_VALUE(ScsiIoctlDataOut, SCSI_IOCTL_DATA_OUT);
SAME_VALUE(ScsiIoctlDataUnspecified, SCSI_IOCTL_DATA_UNSPECIFIED);

SAME_SIZE(ScsiBusData, SCSI_BUS_DATA);
SAME_FIELD(ScsiBusData, SCSI_BUS_DATA, NumberOfLogicalUnits);
SAME_FIELD(ScsiBusData, SCSI_BUS_DATA, InitiatorBusId);
SAME_FIELD(ScsiBusData, SCSI_BUS_DATA, InquiryDataOffset);
SAME_SIZE(ScsiAdapterBusInfo, SCSI_ADAPTER_BUS_INFO);
SAME_FIELD(ScsiAdapterBusInfo, SCSI_ADAPTER_BUS_INFO, NumberOfBuses);
SAME_FIELD(ScsiAdapterBusInfo, SCSI_ADAPTER_BUS_INFO, BusData);
SAME_SIZE(ScsiInquiryData, SCSI_INQUIRY_DATA);
SAME_FIELD(ScsiInquiryData, SCSI_INQUIRY_DATA, PathId);
SAME_FIELD(ScsiInquiryData, SCSI_INQUIRY_DATA, TargetId);
SAME_FIELD(ScsiInquiryData, SCSI_INQUIRY_DATA, Lun);
SAME_FIELD(ScsiInquiryData, SCSI_INQUIRY_DATA, DeviceClaimed);
SAME_FIELD(ScsiInquiryData, SCSI_INQUIRY_DATA, InquiryDataLength);
SAME_FIELD(ScsiInquiryData, SCSI_INQUIRY_DATA, NextInquiryDataOffset);
SAME_FIELD(ScsiInquiryData, SCSI_INQUIRY_DATA, InquiryData);

SAME_SIZE(ScsiAddress, SCSI_ADDRESS);
SAME_FIELD(ScsiAddress, SCSI_ADDRESS, Length);
SAME_FIELD(ScsiAddress, SCSI_ADDRESS, PortNumber);
SAME_FIELD(ScsiAddress, SCSI_ADDRESS, PathId);
SAME_FIELD(ScsiAddress, SCSI_ADDRESS, TargetId);
SAME_FIELD(ScsiAddress, SCSI_ADDRESS, Lun);

SAME_SIZE(StoragePropertyQuery, STORAGE_PROPERTY_QUERY);
SAME_FIELD(StoragePropertyQuery, STORAGE_PROPERTY_QUERY, PropertyId);
SAME_FIELD(StoragePropertyQuery, STORAGE_PROPERTY_QUERY, QueryType);
SAME_FIELD(StoragePropertyQuery, STORAGE_PROPERTY_QUERY, AdditionalParameters);
SAME_VALUE(StorageDeviceProperty, StorageDeviceProperty);
SAME_VALUE(StorageAdapterProperty, StorageAdapterProperty);
SAME_VALUE(StorageDeviceIdProperty, StorageDeviceIdProperty);
SAME_VALUE(PropertyStandardQuery, PropertyStandardQuery);
SAME_SIZE(StorageDescriptorHeader, STORAGE_DESCRIPTOR_HEADER);

SAME_SIZE(StorageDeviceDescriptor, STORAGE_DEVICE_DESCRIPTOR);
SAME_FIELD(StorageDeviceDescriptor, STORAGE_DEVICE_DESCRIPTOR, Version);
SAME_FIELD(StorageDeviceDescriptor, STORAGE_DEVICE_DESCRIPTOR, Size);
SAME_FIELD(StorageDeviceDescriptor, STORAGE_DEVICE_DESCRIPTOR, DeviceType);
SAME_FIELD(StorageDeviceDescriptor, STORAGE_DEVICE_DESCRIPTOR, DeviceTypeModifier);
SAME_FIELD(StorageDeviceDescriptor, STORAGE_DEVICE_DESCRIPTOR, RemovableMedia);
SAME_FIELD(StorageDeviceDescriptor, STORAGE_DEVICE_DESCRIPTOR, CommandQueueing);
SAME_FIELD(StorageDeviceDescriptor, STORAGE_DEVICE_DESCRIPTOR, VendorIdOffset);
SAME_FIELD(StorageDeviceDescriptor, STORAGE_DEVICE_DESCRIPTOR, ProductIdOffset);
SAME_FIELD(StorageDeviceDescriptor, STORAGE_DEVICE_DESCRIPTOR, ProductRevisionOffset);
SAME_FIELD(StorageDeviceDescriptor, STORAGE_DEVICE_DESCRIPTOR, SerialNumberOffset);
SAME_FIELD(StorageDeviceDescriptor, STORAGE_DEVICE_DESCRIPTOR, BusType);
SAME_FIELD(StorageDeviceDescriptor, STORAGE_DEVICE_DESCRIPTOR, RawPropertiesLength);
SAME_FIELD(StorageDeviceDescriptor, STORAGE_DEVICE_DESCRIPTOR, RawDeviceProperties);
SAME_VALUE(BusTypeUnknown, BusTypeUnknown);
SAME_VALUE(BusTypeScsi, BusTypeScsi);
SAME_VALUE(BusTypeAtapi, BusTypeAtapi);
SAME_VALUE(BusTypeAta, BusTypeAta);
SAME_VALUE(BusTypeUsb, BusTypeUsb);
SAME_VALUE(BusTypeRaid, BusTypeRAID);
SAME_VALUE(BusTypeSas, BusTypeSas);
SAME_VALUE(BusTypeSata, BusTypeSata);
// MinGW-w64's ntddstor.h stops before NVMe; Microsoft documents 17 (11h).
static_assert(w::BusTypeNvme == 0x11);

SAME_SIZE(StorageDeviceIdDescriptor, STORAGE_DEVICE_ID_DESCRIPTOR);
SAME_FIELD(StorageDeviceIdDescriptor, STORAGE_DEVICE_ID_DESCRIPTOR, Version);
SAME_FIELD(StorageDeviceIdDescriptor, STORAGE_DEVICE_ID_DESCRIPTOR, Size);
SAME_FIELD(StorageDeviceIdDescriptor, STORAGE_DEVICE_ID_DESCRIPTOR, NumberOfIdentifiers);
SAME_FIELD(StorageDeviceIdDescriptor, STORAGE_DEVICE_ID_DESCRIPTOR, Identifiers);
SAME_SIZE(StorageIdentifier, STORAGE_IDENTIFIER);
SAME_FIELD(StorageIdentifier, STORAGE_IDENTIFIER, CodeSet);
SAME_FIELD(StorageIdentifier, STORAGE_IDENTIFIER, Type);
SAME_FIELD(StorageIdentifier, STORAGE_IDENTIFIER, IdentifierSize);
SAME_FIELD(StorageIdentifier, STORAGE_IDENTIFIER, NextOffset);
SAME_FIELD(StorageIdentifier, STORAGE_IDENTIFIER, Association);
SAME_FIELD(StorageIdentifier, STORAGE_IDENTIFIER, Identifier);

SAME_SIZE(StorageReadCapacity, STORAGE_READ_CAPACITY);
SAME_FIELD(StorageReadCapacity, STORAGE_READ_CAPACITY, Version);
SAME_FIELD(StorageReadCapacity, STORAGE_READ_CAPACITY, Size);
SAME_FIELD(StorageReadCapacity, STORAGE_READ_CAPACITY, BlockLength);
SAME_FIELD(StorageReadCapacity, STORAGE_READ_CAPACITY, NumberOfBlocks);
SAME_FIELD(StorageReadCapacity, STORAGE_READ_CAPACITY, DiskLength);

SAME_SIZE(StorageDeviceNumber, STORAGE_DEVICE_NUMBER);
SAME_FIELD(StorageDeviceNumber, STORAGE_DEVICE_NUMBER, DeviceType);
SAME_FIELD(StorageDeviceNumber, STORAGE_DEVICE_NUMBER, DeviceNumber);
SAME_FIELD(StorageDeviceNumber, STORAGE_DEVICE_NUMBER, PartitionNumber);

SAME_SIZE(DiskGeometry, DISK_GEOMETRY);
SAME_FIELD(DiskGeometry, DISK_GEOMETRY, Cylinders);
SAME_FIELD(DiskGeometry, DISK_GEOMETRY, MediaType);
SAME_FIELD(DiskGeometry, DISK_GEOMETRY, TracksPerCylinder);
SAME_FIELD(DiskGeometry, DISK_GEOMETRY, SectorsPerTrack);
SAME_FIELD(DiskGeometry, DISK_GEOMETRY, BytesPerSector);
SAME_SIZE(DiskGeometryEx, DISK_GEOMETRY_EX);
SAME_FIELD(DiskGeometryEx, DISK_GEOMETRY_EX, Geometry);
SAME_FIELD(DiskGeometryEx, DISK_GEOMETRY_EX, DiskSize);
SAME_FIELD(DiskGeometryEx, DISK_GEOMETRY_EX, Data);
SAME_VALUE(MediaUnknown, Unknown);
SAME_VALUE(MediaRemovable, RemovableMedia);
SAME_VALUE(MediaFixed, FixedMedia);

SAME_VALUE(IoctlScsiPassThrough, IOCTL_SCSI_PASS_THROUGH);
SAME_VALUE(IoctlScsiGetInquiryData, IOCTL_SCSI_GET_INQUIRY_DATA);
SAME_VALUE(IoctlScsiPassThroughDirect, IOCTL_SCSI_PASS_THROUGH_DIRECT);
SAME_VALUE(IoctlScsiGetAddress, IOCTL_SCSI_GET_ADDRESS);
SAME_VALUE(IoctlStorageGetDeviceNumber, IOCTL_STORAGE_GET_DEVICE_NUMBER);
SAME_VALUE(IoctlStorageReadCapacity, IOCTL_STORAGE_READ_CAPACITY);
SAME_VALUE(IoctlStorageQueryProperty, IOCTL_STORAGE_QUERY_PROPERTY);
SAME_VALUE(IoctlDiskGetDriveGeometry, IOCTL_DISK_GET_DRIVE_GEOMETRY);
SAME_VALUE(IoctlDiskGetDriveGeometryEx, IOCTL_DISK_GET_DRIVE_GEOMETRY_EX);
static_assert(w::AccessOf(IOCTL_SCSI_PASS_THROUGH) == (FILE_READ_ACCESS | FILE_WRITE_ACCESS));
static_assert(w::AccessOf(IOCTL_STORAGE_READ_CAPACITY) == FILE_READ_ACCESS);
static_assert(w::AccessOf(IOCTL_DISK_GET_DRIVE_GEOMETRY_EX) == FILE_ANY_ACCESS);

SAME_VALUE(ErrorSuccess, ERROR_SUCCESS);
SAME_VALUE(ErrorInvalidFunction, ERROR_INVALID_FUNCTION);
SAME_VALUE(ErrorFileNotFound, ERROR_FILE_NOT_FOUND);
SAME_VALUE(ErrorAccessDenied, ERROR_ACCESS_DENIED);
SAME_VALUE(ErrorInvalidHandle, ERROR_INVALID_HANDLE);
SAME_VALUE(ErrorNotReady, ERROR_NOT_READY);
SAME_VALUE(ErrorCrc, ERROR_CRC);
SAME_VALUE(ErrorGenFailure, ERROR_GEN_FAILURE);
SAME_VALUE(ErrorSharingViolation, ERROR_SHARING_VIOLATION);
SAME_VALUE(ErrorNotSupported, ERROR_NOT_SUPPORTED);
SAME_VALUE(ErrorDevNotExist, ERROR_DEV_NOT_EXIST);
SAME_VALUE(ErrorInvalidParameter, ERROR_INVALID_PARAMETER);
SAME_VALUE(ErrorSemTimeout, ERROR_SEM_TIMEOUT);
SAME_VALUE(ErrorInsufficientBuffer, ERROR_INSUFFICIENT_BUFFER);
SAME_VALUE(ErrorBusy, ERROR_BUSY);
SAME_VALUE(ErrorMoreData, ERROR_MORE_DATA);
SAME_VALUE(ErrorOperationAborted, ERROR_OPERATION_ABORTED);
SAME_VALUE(ErrorIoPending, ERROR_IO_PENDING);
SAME_VALUE(ErrorBusReset, ERROR_BUS_RESET);
SAME_VALUE(ErrorIoDevice, ERROR_IO_DEVICE);
SAME_VALUE(ErrorDeviceNotConnected, ERROR_DEVICE_NOT_CONNECTED);
SAME_VALUE(ErrorTimeout, ERROR_TIMEOUT);
SAME_VALUE(ErrorDeviceRemoved, ERROR_DEVICE_REMOVED);
// MinGW-w64's winerror.h lacks it; Microsoft documents 433 (1B1h).
static_assert(w::ErrorNoSuchDevice == 433);

// A port list laid out with the SDK's own structures, as Windows writes
// it, reads back through ours.
TEST(SdkLayouts, APortListOfTheSdksStructuresReadsBack) {
  std::vector<std::uint8_t> answer(256, 0);
  auto* info = reinterpret_cast<SCSI_ADAPTER_BUS_INFO*>(answer.data());
  info->NumberOfBuses = 1;
  info->BusData[0].InitiatorBusId = 7;
  info->BusData[0].NumberOfLogicalUnits = 1;
  info->BusData[0].InquiryDataOffset = 64;
  auto* unit = reinterpret_cast<SCSI_INQUIRY_DATA*>(answer.data() + 64);
  unit->TargetId = 3;
  unit->Lun = 1;
  unit->DeviceClaimed = TRUE;
  unit->InquiryDataLength = 36;
  unit->InquiryData[0] = 0x05;
  const auto buses = w::ParsePortList(answer);
  ASSERT_EQ(buses.size(), 1u);
  EXPECT_EQ(buses[0].initiatorId, 7);
  ASSERT_EQ(buses[0].units.size(), 1u);
  EXPECT_EQ(buses[0].units[0].target, 3);
  EXPECT_EQ(buses[0].units[0].lun, 1);
  EXPECT_TRUE(buses[0].units[0].claimed);
  EXPECT_EQ(buses[0].units[0].inquiry.size(), 36u);
  EXPECT_EQ(buses[0].units[0].inquiry[0], 0x05);
}
