// The ASPI layer's interface: the request block (100 bytes; 112 on 64-bit
// Windows), its codes, and the two calls. Shared by the program and by our own layer library.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

// Request kinds (SRB_Cmd).
constexpr std::uint8_t SC_HA_INQUIRY = 0x00;
constexpr std::uint8_t SC_GET_DEV_TYPE = 0x01;
constexpr std::uint8_t SC_EXEC_SCSI_CMD = 0x02;
constexpr std::uint8_t SC_GET_DISK_INFO = 0x06;

// Outcomes (SRB_Status, and bits 8-15 of GetASPI32SupportInfo).
constexpr std::uint8_t SS_PENDING = 0x00;
constexpr std::uint8_t SS_COMP = 0x01;
constexpr std::uint8_t SS_ABORTED = 0x02;
constexpr std::uint8_t SS_ERR = 0x04;
constexpr std::uint8_t SS_INVALID_CMD = 0x80;
constexpr std::uint8_t SS_INVALID_HA = 0x81;
constexpr std::uint8_t SS_NO_DEVICE = 0x82;
constexpr std::uint8_t SS_FAILED_INIT = 0xE4;
constexpr std::uint8_t SS_NO_ADAPTERS = 0xE8;

// Request flags (SRB_Flags). With SRB_ENABLE_RESIDUAL_COUNT a layer that
// can (HA_Unique byte 2, bit 1) leaves in SRB_BufLen how many of the bytes
// offered the command did not fill.
constexpr std::uint8_t SRB_ENABLE_RESIDUAL_COUNT = 0x04;
constexpr std::uint8_t SRB_DIR_IN = 0x08;
constexpr std::uint8_t SRB_DIR_OUT = 0x10;
constexpr std::uint8_t SRB_EVENT_NOTIFY = 0x40;

// Host adapter status (SRB_HaStat): what the adapter says of a command's
// way to and from the target.
constexpr std::uint8_t HASTAT_OK = 0x00;
constexpr std::uint8_t HASTAT_TIMEOUT = 0x09;          // timed out waiting to be processed
constexpr std::uint8_t HASTAT_COMMAND_TIMEOUT = 0x0B;  // timed out while it ran
constexpr std::uint8_t HASTAT_MESSAGE_REJECT = 0x0D;
constexpr std::uint8_t HASTAT_BUS_RESET = 0x0E;
constexpr std::uint8_t HASTAT_PARITY_ERROR = 0x0F;
constexpr std::uint8_t HASTAT_REQUEST_SENSE_FAILED = 0x10;
constexpr std::uint8_t HASTAT_SEL_TO = 0x11;           // selection time-out: no target there
constexpr std::uint8_t HASTAT_DO_DU = 0x12;            // data overrun or underrun
constexpr std::uint8_t HASTAT_BUS_FREE = 0x13;         // unexpected bus free
constexpr std::uint8_t HASTAT_PHASE_ERR = 0x14;        // target bus phase sequence failure

// Target status (SRB_TargStat): the SCSI status byte.
constexpr std::uint8_t STATUS_GOOD = 0x00;
constexpr std::uint8_t STATUS_CHKCOND = 0x02;

static_assert(std::endian::native == std::endian::little,
              "the request block is little-endian; so must the machine be");

// The two address fields of a SCSI command (SRB_BufPointer, SRB_PostProc).
// 64-bit Windows: a real address, 8 bytes. Everywhere else 4 bytes: the
// address itself on 32-bit Windows, a 32-bit handle of it on Linux
// (win32_stand_ins/buffer_handles.h).
#ifdef _WIN64
using SrbPointer = std::uint64_t;
// The 8-byte fields lie on 8-byte boundaries: 4 bytes of padding before
// SRB_PostProc, and the block grows from 100 to 112 bytes.
constexpr std::size_t SrbSize = 112;
#else
using SrbPointer = std::uint32_t;
constexpr std::size_t SrbSize = 100;
#endif

#pragma pack(push, 1)
// One request block. Fields lie at fixed byte offsets, in the same order in
// every build, multi-byte fields little-endian; which fields mean something
// depends on SRB_Cmd.
struct alignas(sizeof(SrbPointer)) SRB {
  std::uint8_t SRB_Cmd;         // 0
  std::uint8_t SRB_Status;      // 1
  std::uint8_t SRB_HaId;        // 2
  std::uint8_t SRB_Flags;       // 3
  std::uint32_t SRB_Hdr_Rsvd;   // 4
  union {
    struct {  // SC_HA_INQUIRY
      std::uint8_t HA_Count;          // 8
      std::uint8_t HA_SCSI_ID;        // 9
      std::uint8_t HA_ManagerId[16];  // 10
      std::uint8_t HA_Identifier[16]; // 26
      std::uint8_t HA_Unique[16];     // 42
    };
    struct {  // the kinds that address a target
      std::uint8_t SRB_Target;  // 8
      std::uint8_t SRB_Lun;     // 9
      union {
        std::uint8_t SRB_DeviceType;  // 10, SC_GET_DEV_TYPE
        struct {                      // SC_GET_DISK_INFO
          std::uint8_t SRB_DriveFlags;       // 10
          std::uint8_t SRB_Int13HDriveInfo;  // 11
          std::uint8_t SRB_Heads;            // 12
          std::uint8_t SRB_Sectors;          // 13
        };
        struct {  // SC_EXEC_SCSI_CMD
          std::uint8_t SRB_Rsvd1[2];      // 10
          std::uint32_t SRB_BufLen;       // 12
          SrbPointer SRB_BufPointer;      // 16
          std::uint8_t SRB_SenseLen;      // 20 (64-bit Windows: 24)
          std::uint8_t SRB_CDBLen;        // 21 (25)
          std::uint8_t SRB_HaStat;        // 22 (26)
          std::uint8_t SRB_TargStat;      // 23 (27)
#ifdef _WIN64
          std::uint8_t SRB_Rsvd_Align[4]; // (28)
#endif
          SrbPointer SRB_PostProc;        // 24 (32)
          std::uint8_t SRB_Rsvd2[20];     // 28 (40)
          std::uint8_t CDBByte[16];       // 48 (60)
          std::uint8_t SenseArea[36];     // 64 (76)
        };
      };
    };
    std::uint8_t SRB_Body[SrbSize - 8];
  };
};
#pragma pack(pop)

static_assert(sizeof(SRB) == SrbSize);
static_assert(alignof(SRB) == sizeof(SrbPointer));
static_assert(offsetof(SRB, SRB_BufPointer) % sizeof(SrbPointer) == 0);
static_assert(offsetof(SRB, SRB_PostProc) % sizeof(SrbPointer) == 0);
static_assert(offsetof(SRB, SenseArea) + 36 == SrbSize);

// The two calls of the layer, C linkage, bound when the program loads.
#if defined(_WIN32) && defined(WNASPI32_BUILDING)
#define WNASPI32_API  // the layer's .def file names the exports
#elif defined(_WIN32)
#define WNASPI32_API __declspec(dllimport)
#elif defined(WNASPI32_BUILDING)
#define WNASPI32_API __attribute__((visibility("default")))
#else
#define WNASPI32_API
#endif

extern "C" {
// Bits 8-15: the layer's status (SS_COMP when usable); bits 0-7: the
// number of host adapters.
WNASPI32_API std::uint32_t GetASPI32SupportInfo(void);
// Starts the request in *srb. The layer writes SRB_Status and the reply
// before it returns or later, from a thread of its own; SRB_Status is
// written last. With SRB_EVENT_NOTIFY the event in SRB_PostProc is
// signalled after that.
WNASPI32_API std::uint32_t SendASPI32Command(void* srb);
}
