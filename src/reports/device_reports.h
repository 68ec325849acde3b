// The device reports of the display command. Each takes the target ID
// first and the host adapter number second (requests carry their low 8
// bits), reads the display mode from MainWindow at the call and appends
// its lines to Memo1. The window asks logical unit 0; busview-report may
// name another.
#pragma once

#include <cstdint>

// Header and ASPI device type lines; in detailed mode also the INT 13h
// drive line and the head and sector translation lines.
void ReportDeviceType(std::int32_t target, std::int32_t adapter, std::uint8_t lun = 0);

// The device's INQUIRY data: type, vendor, product, revision; in detailed
// mode also the versions, the data format and the capability lines.
void ReportInquiry(std::int32_t target, std::int32_t adapter, std::uint8_t lun = 0);

// A blank line, then the device's block size and capacity in megabytes.
void ReportCapacity(std::int32_t target, std::int32_t adapter, std::uint8_t lun = 0);
