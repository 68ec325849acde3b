#include "wnaspi32/front/data_direction.h"

#include <algorithm>
#include <array>

#include "scsi/commands.h"

namespace wnaspi32 {
namespace {

// Only stream and multimedia devices read some opcodes otherwise than the
// rest; a direct-access device stands for all the others.
constexpr int TypeDirectAccess = scsi::DirectAccessDevice;
constexpr int TypeSequential = scsi::SequentialAccessDevice;
constexpr int TypeMultimedia = scsi::MultimediaDevice;

// Opcodes with data-out on every kind of device.
constexpr std::array<std::uint8_t, 38> DataOutOpcodes = {
    0x04,  // FORMAT UNIT
    0x07,  // REASSIGN BLOCKS
    0x0A,  // WRITE(6), SEND(6), PRINT
    0x15,  // MODE SELECT(6)
    0x18,  // COPY
    0x1D,  // SEND DIAGNOSTIC
    0x24,  // SET WINDOW
    0x2A,  // WRITE(10), SEND(10)
    0x2E,  // WRITE AND VERIFY(10)
    0x39,  // COMPARE
    0x3A,  // COPY AND VERIFY
    0x3B,  // WRITE BUFFER
    0x3D,  // UPDATE BLOCK
    0x3F,  // WRITE LONG(10)
    0x40,  // CHANGE DEFINITION
    0x41,  // WRITE SAME(10)
    0x4C,  // LOG SELECT
    0x50,  // XDWRITE(10)
    0x54,  // SEND OPC INFORMATION
    0x55,  // MODE SELECT(10)
    0x5D,  // SEND CUE SHEET
    0x5F,  // PERSISTENT RESERVE OUT
    0x83,  // EXTENDED COPY
    0x87,  // ACCESS CONTROL OUT
    0x89,  // COMPARE AND WRITE
    0x8A,  // WRITE(16)
    0x8B,  // ORWRITE(16)
    0x8D,  // WRITE ATTRIBUTE
    0x8E,  // WRITE AND VERIFY(16)
    0x93,  // WRITE SAME(16)
    0x9A,  // WRITE STREAM(16)
    0x9C,  // WRITE ATOMIC(16)
    0x9F,  // SERVICE ACTION OUT(16): WRITE LONG(16), WRITE SCATTERED(16)
    0xAA,  // WRITE(12), SEND MESSAGE(12)
    0xAE,  // WRITE AND VERIFY(12)
    0xB5,  // SECURITY PROTOCOL OUT
    0xB6,  // SET STREAMING, SEND VOLUME TAG
    0xBF,  // SEND DVD STRUCTURE
};

// Opcodes that multimedia devices use for commands without data out.
constexpr std::uint8_t UnmapOrReadSubChannel = 0x42;
constexpr std::uint8_t XpWriteOrReadDiscInformation = 0x51;
constexpr std::uint8_t XdWriteReadOrReserveTrack = 0x53;
constexpr std::uint8_t SendKeyOrMaintenanceIn = 0xA3;     // SEND KEY on multimedia
constexpr std::uint8_t ReportKeyOrMaintenanceOut = 0xA4;  // MAINTENANCE OUT elsewhere
constexpr std::uint8_t AtaPassThrough16 = 0x85;
constexpr std::uint8_t AtaPassThrough12 = 0xA1;
constexpr std::uint8_t VariableLength = 0x7F;
constexpr std::uint8_t Verify6 = 0x13;  // stream devices
constexpr std::uint8_t Verify10 = 0x2F;
constexpr std::uint8_t Verify12 = 0xAF;
constexpr std::uint8_t Verify16 = 0x8F;
constexpr std::uint8_t Sanitize = 0x48;
constexpr std::uint8_t SanitizeOverwrite = 0x01;

// VERIFY compares with data sent along when BYTCHK (block devices, two
// bits) or BYTCMP (stream devices, one bit) asks it to.
bool VerifySendsData(std::span<const std::uint8_t> cdb, std::size_t flagsByte, int deviceType) {
  if (cdb.size() <= flagsByte) return true;
  const std::uint8_t compare = deviceType == TypeSequential ? 0x02 : 0x06;
  return (cdb[flagsByte] & compare) != 0;
}

// ATA PASS-THROUGH: T_DIR 0 with a transfer length sends data.
bool AtaSendsData(std::span<const std::uint8_t> cdb) {
  if (cdb.size() < 3) return true;
  const bool toDevice = (cdb[2] & 0x08) == 0;
  const bool transfers = (cdb[2] & 0x03) != 0;
  return toDevice && transfers;
}

// Of the 32-byte commands only READ(32), and VERIFY(32) without a byte
// compare, move no data out.
bool VariableLengthSendsData(std::span<const std::uint8_t> cdb) {
  if (cdb.size() < 10) return true;
  const unsigned action = unsigned{cdb[8]} << 8 | cdb[9];
  if (action == 0x000A) return VerifySendsData(cdb, 10, TypeDirectAccess);
  return action != 0x0009;
}

}  // namespace

bool MovesDataToDevice(std::span<const std::uint8_t> cdb, int deviceType) {
  if (cdb.empty()) return false;
  const std::uint8_t opcode = cdb[0];
  if (std::find(DataOutOpcodes.begin(), DataOutOpcodes.end(), opcode) != DataOutOpcodes.end())
    return true;
  switch (opcode) {
    case SendKeyOrMaintenanceIn:
      return deviceType == TypeMultimedia;
    case ReportKeyOrMaintenanceOut:
      return deviceType != TypeMultimedia;
    case AtaPassThrough16:
      return AtaSendsData(cdb);
    case AtaPassThrough12:
      // BLANK on multimedia devices, which carries no data.
      return deviceType != TypeMultimedia && AtaSendsData(cdb);
    case VariableLength:
      return VariableLengthSendsData(cdb);
    case UnmapOrReadSubChannel:
    case XpWriteOrReadDiscInformation:
    case XdWriteReadOrReserveTrack:
      return deviceType != TypeMultimedia;
    case Verify10:
    case Verify12:
    case Verify16:
      return VerifySendsData(cdb, 1, deviceType);
    case Verify6:
      return deviceType == TypeSequential && VerifySendsData(cdb, 1, deviceType);
    case Sanitize:
      // OVERWRITE sends its pattern; the erasing service actions send nothing.
      return cdb.size() < 2 || (cdb[1] & 0x1F) == SanitizeOverwrite;
    default:
      return false;
  }
}

std::optional<bool> MovesDataToAnyDevice(std::span<const std::uint8_t> cdb) {
  const bool out = MovesDataToDevice(cdb, TypeDirectAccess);
  if (MovesDataToDevice(cdb, TypeSequential) != out ||
      MovesDataToDevice(cdb, TypeMultimedia) != out)
    return std::nullopt;
  return out;
}

}  // namespace wnaspi32
