// The parts of the real door that need no device: the header the sg driver
// is handed for a command, and what the parent makes of the answer of a
// child that asked a block device.
#pragma once

#include <linux/hdreg.h>
#include <scsi/sg.h>
#include <sys/types.h>

#include <cstdint>
#include <optional>

#include "wnaspi32/linux/device_io.h"

namespace wnaspi32::linux_io {

// `command` for the driver's write(2): data in, or none, and the command's
// time-out.
sg_io_hdr_t SgRequestHeader(const ScsiCommand& command);

// What a child that asked a block device writes back through its pipe.
struct BlockAnswer {
  bool given = false;            // false: the child could not open or ask it
  hd_geometry geometry{};        // HDIO_GETGEO
  unsigned char signature[4]{};  // bytes 440 to 443
};

// The geometry, or the signature, in the child's answer of which `got`
// bytes arrived (read(2)'s result); nothing unless the whole answer came
// and the child got what it was asked.
std::optional<DiskGeometry> GeometryIn(const BlockAnswer& answer, ssize_t got);
std::optional<std::uint32_t> SignatureIn(const BlockAnswer& answer, ssize_t got);

}  // namespace wnaspi32::linux_io
