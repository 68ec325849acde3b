// Bus files that cannot be used: one clear line on stderr, and a layer that
// says it could not start (E400h) and has no adapters.
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <fstream>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim_fixture.h"

namespace {

using namespace simtest;

struct Outcome {
  std::string stderrText;
  std::uint32_t supportInfo;
};

Outcome Load(const std::string& path) {
  testing::internal::CaptureStderr();
  UseBusFile(path);
  Outcome outcome{testing::internal::GetCapturedStderr(), GetASPI32SupportInfo()};
  return outcome;
}

void ExpectUnusable(const Outcome& outcome, const std::string& path) {
  EXPECT_EQ(outcome.supportInfo, 0x0000E400u);
  ASSERT_FALSE(outcome.stderrText.empty());
  EXPECT_EQ(outcome.stderrText.find('\n'), outcome.stderrText.size() - 1)
      << "exactly one line: " << outcome.stderrText;
  EXPECT_NE(outcome.stderrText.find(path), std::string::npos) << outcome.stderrText;
  SRB srb = TargetRequest(SC_HA_INQUIRY, 0, 0);
  EXPECT_EQ(SendASPI32Command(&srb), SS_INVALID_HA);
}

TEST(SimBadBus, EachFaultGivesItsPlaceAndProblem) {
  const std::string tooMany = [] {
    std::string json = R"({"adapters": [{})";
    for (int i = 1; i < 256; ++i) json += ",{}";
    return json + "]}";
  }();
  const auto nested = [](int levels) {
    return R"({"adapters": [)" + std::string(levels, '[') + std::string(levels, ']') + "]}";
  };
  struct Case {
    std::string json;
    std::string place;
    std::string problem;
  };
  const Case cases[] = {
      // The 65th level opens at column 77; no reader ever walks that deep.
      {nested(60000), "line 1, column 77", "nested deeper than 64 levels"},
      {nested(63), "line 1, column 77", "nested deeper than 64 levels"},
      {nested(62), "adapters[0]", "expected an object, found " + std::string(37, '[') + "..."},
      {R"({"adapters": [{"scsi_id": ")" + std::string(100000, 'a') + R"("}]})",
       "adapters[0].scsi_id", "expected a number, found \"" + std::string(36, 'a') + "...\n"},
      {"", "line 1, column 1", "unexpected end of input"},
      {"{\n  \"adapters\": [\n    {\"scsi_id\": 7,}\n  ]\n}", "line 3, column 19", "syntax error"},
      {R"({"adapters": [{"manager": ")" "\xff" R"("}]})", "line 1, column 28", "UTF-8"},
      {R"({"adapters": [{"scsi_id": 1e400}]})", "line 1, column 27", "number overflow"},
      {"[]", "top level", "expected an object"},
      {"{}", "adapters", "missing"},
      {R"({"adapters": {}})", "adapters", "expected an array"},
      {tooMany, "adapters", "more than 255 adapters"},
      {R"({"adapters": [], "comment": 1})", "comment", "unknown key"},
      {R"({"support_info": 4294967296, "adapters": []})", "support_info", "out of range"},
      {R"({"adapters": [{"scsi_id": "eight"}]})", "adapters[0].scsi_id", "expected a number"},
      {R"({"adapters": [{"scsi_id": 256}]})", "adapters[0].scsi_id", "out of range (0 to 255)"},
      {R"({"adapters": [{"ha_count": 1.5}]})", "adapters[0].ha_count", "whole number"},
      {R"({"adapters": [{"status": null}]})", "adapters[0].status", "expected a number"},
      {R"({"adapters": [{"delay_ms": -2}]})", "adapters[0].delay_ms", "out of range"},
      {R"({"adapters": [{"identifier": "ABCDEFGHIJKLMNOPQ"}]})", "adapters[0].identifier",
       "text too long: 17 bytes, at most 16"},
      {R"({"adapters": [{"identifier": "日本語のアダプタ名です"}]})", "adapters[0].identifier",
       "text too long: 22 bytes"},
      {R"({"adapters": [{"manager": "😀"}]})", "adapters[0].manager", "code page 932"},
      {R"({"adapters": [{"identifier": {"hex": "4G"}}]})", "adapters[0].identifier.hex",
       "not a hex digit"},
      {R"({"adapters": [{"identifier": {"hex": 41}}]})", "adapters[0].identifier.hex",
       "expected a text of hex digits"},
      {R"({"adapters": [{"identifier": ["A"]}]})", "adapters[0].identifier", "expected a text"},
      {R"({"adapters": [{"targets": {}}]})", "adapters[0].targets", "expected an array"},
      {R"({"adapters": [{"targets": [7]}]})", "adapters[0].targets[0]", "expected an object"},
      {R"({"adapters": [{"targets": [{}]}]})", "adapters[0].targets[0].id", "missing"},
      {R"({"adapters": [{"targets": [{"id": -1}]}]})", "adapters[0].targets[0].id", "out of range"},
      {R"({"adapters": [{"targets": [{"id": 1}, {"id": "0x1"}]}]})", "adapters[0].targets[1].id",
       "target 1 is already on this adapter"},
      {R"({"adapters": [{"targets": [{"id": 1, "lun": 2}, {"id": 1, "lun": "2"}]}]})",
       "adapters[0].targets[1].id", "target 1 LUN 2 is already on this adapter"},
      {R"({"adapters": [{"targets": [{"id": 0, "lun": 256}]}]})", "adapters[0].targets[0].lun",
       "out of range"},
      {R"({"adapters": [{"targets": [{"id": 0, "vpd": {"0x80": "00", "128": "00"}}]}]})",
       "adapters[0].targets[0].vpd.128", "page given twice"},
      {R"({"adapters": [{"targets": [{"id": 0, "vpd": {"serial": "00"}}]}]})",
       "adapters[0].targets[0].vpd.serial", "expected a number"},
      {R"({"adapters": [{"targets": [{"id": 0, "vpd": {"0x80": 5}}]}]})",
       "adapters[0].targets[0].vpd.0x80", "expected a text of hex digits"},
      {R"({"adapters": [{}, {"targets": [{"id": 0}, {"id": 1, "inquiry": {"vendor": "VENDOR012"}}]}]})",
       "adapters[1].targets[1].inquiry.vendor", "text too long: 9 bytes, at most 8"},
      {R"({"adapters": [{"targets": [{"id": 0, "inquiry": "12 3"}]}]})",
       "adapters[0].targets[0].inquiry", "odd number of hex digits"},
      {R"({"adapters": [{"targets": [{"id": 0, "inquiry": 18}]}]})",
       "adapters[0].targets[0].inquiry", "expected an object or a text of hex digits"},
      {R"({"adapters": [{"targets": [{"id": 0, "inquiry": {"vender": "X"}}]}]})",
       "adapters[0].targets[0].inquiry.vender", "unknown key"},
      {R"({"adapters": [{"targets": [{"id": 0, "inquiry": {"removable": "yes"}}]}]})",
       "adapters[0].targets[0].inquiry.removable", "expected true or false"},
      {R"({"adapters": [{"targets": [{"id": 0, "inquiry": {"type": 32}}]}]})",
       "adapters[0].targets[0].inquiry.type", "out of range (0 to 31)"},
      {R"({"adapters": [{"targets": [{"id": 0, "inquiry": {"length": 256}}]}]})",
       "adapters[0].targets[0].inquiry.length", "out of range"},
      {R"({"adapters": [{"targets": [{"id": 0, "capacity": {"last_lba": "0x10000000000000000"}}]}]})",
       "adapters[0].targets[0].capacity.last_lba", "out of range"},
      // 2^64 in decimal, where the last digit alone makes it overflow.
      {R"({"adapters": [{"targets": [{"id": 0, "capacity": {"last_lba": "18446744073709551616"}}]}]})",
       "adapters[0].targets[0].capacity.last_lba", "out of range"},
      {R"({"adapters": [{"targets": [{"id": 0, "capacity": {"last_lba": 18446744073709551616}}]}]})",
       "adapters[0].targets[0].capacity.last_lba", "out of range"},
      {R"({"adapters": [{"targets": [{"id": 0, "capacity": {"block_length": -512}}]}]})",
       "adapters[0].targets[0].capacity.block_length", "out of range"},
      {R"({"adapters": [{"targets": [{"id": 0, "disk": {"heads": "08"}}]}]})",
       "adapters[0].targets[0].disk.heads", "expected a number"},
      {R"({"adapters": [{"targets": [{"id": 0, "status": {"read_capacity": 300}}]}]})",
       "adapters[0].targets[0].status.read_capacity", "out of range"},
      {R"({"adapters": [{"targets": [{"id": 0, "delay_ms": {"inquiry": 1, "capacity": 1}}]}]})",
       "adapters[0].targets[0].delay_ms.capacity", "unknown key"},
      {R"({"adapters": [{"targets": [{"id": 0, "delay_ms": [1]}]}]})",
       "adapters[0].targets[0].delay_ms", "expected a number"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.json.substr(0, 120));
    const std::string path = WriteBusFile(c.json);
    const Outcome outcome = Load(path);
    ExpectUnusable(outcome, path);
    const std::string expected = "wnaspi32: bus file " + path + ": " + c.place + ": ";
    EXPECT_EQ(outcome.stderrText.rfind(expected, 0), 0u) << outcome.stderrText;
    EXPECT_NE(outcome.stderrText.find(c.problem), std::string::npos) << outcome.stderrText;
  }
}

TEST(SimBadBus, AFileThatCannotBeRead) {
  const std::string missing = WriteBusFile("{}") + ".not-there";
  const Outcome absent = Load(missing);
  ExpectUnusable(absent, missing);
  EXPECT_NE(absent.stderrText.find("cannot open: No such file or directory"), std::string::npos);

  const std::string large = WriteBusFile(R"({"adapters": []})" + std::string(16 << 20, ' '));
  const Outcome tooLarge = Load(large);
  ExpectUnusable(tooLarge, large);
  EXPECT_NE(tooLarge.stderrText.find("larger than 16 MiB"), std::string::npos);

  const Outcome directory = Load("/tmp");
  ExpectUnusable(directory, "/tmp");
  EXPECT_NE(directory.stderrText.find("cannot read"), std::string::npos);
}

// A FIFO fed for ever, like /dev/zero, is read no further than the bound.
TEST(SimBadBus, AnEndlessFileIsReadNoFurtherThanTheBound) {
  const std::string path = WriteBusFile("") + ".fifo";
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  constexpr std::size_t Bound = 16 << 20;
  std::atomic<std::size_t> fed{0};
  std::thread feeder([&] {
    // Once the layer stops reading, the write fails (EPIPE) instead of
    // ending the process.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    const int fd = open(path.c_str(), O_WRONLY);
    const std::string blanks(65536, ' ');
    while (fd >= 0 && fed < 4 * Bound) {
      const ssize_t written = write(fd, blanks.data(), blanks.size());
      if (written <= 0) break;
      fed += static_cast<std::size_t>(written);
    }
    if (fd >= 0) close(fd);
  });
  const Outcome endless = Load(path);
  feeder.join();
  ExpectUnusable(endless, path);
  EXPECT_NE(endless.stderrText.find("larger than 16 MiB"), std::string::npos);
  // What the layer took, and what a pipe holds besides.
  EXPECT_LT(fed.load(), Bound + (1 << 20));
}

// Sends `request`. One still pending may be completed later by the layer,
// so it and its buffer are kept for the rest of the run.
void Send(const SRB& request, std::unique_ptr<Buffer> buffer) {
  struct Parked {
    std::unique_ptr<SRB> srb;
    std::unique_ptr<Buffer> buffer;
  };
  static auto* parked = new std::vector<Parked>;
  auto srb = std::make_unique<SRB>(request);
  if (SendASPI32Command(srb.get()) == SS_PENDING)
    parked->push_back({std::move(srb), std::move(buffer)});
}

// Whatever a file holds, the layer either runs the bus or reports one line,
// and every request still gets an answer.
void ExpectSound(const std::string& text) {
  const std::string path = WriteBusFile(text);
  const Outcome outcome = Load(path);
  if (outcome.supportInfo == 0x0000E400u) {
    EXPECT_EQ(outcome.stderrText.rfind("wnaspi32: bus file " + path + ": ", 0), 0u);
    EXPECT_EQ(outcome.stderrText.find('\n'), outcome.stderrText.size() - 1);
  } else {
    EXPECT_EQ(outcome.stderrText, "");
  }
  for (std::uint8_t adapter = 0; adapter < 3; ++adapter) {
    for (std::uint8_t target = 0; target < 8; ++target) {
      for (std::uint8_t command : {SC_HA_INQUIRY, SC_GET_DEV_TYPE, SC_GET_DISK_INFO})
        Send(TargetRequest(command, adapter, target), nullptr);
      for (const std::initializer_list<std::uint8_t> cdb :
           {std::initializer_list<std::uint8_t>{0x12, 0, 0, 0, 36, 0},
            std::initializer_list<std::uint8_t>{0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}}) {
        auto buffer = std::make_unique<Buffer>();
        const SRB srb = ScsiRequest(adapter, target, *buffer, 40, cdb);
        Send(srb, std::move(buffer));
      }
    }
  }
}

TEST(SimBadBus, DamagedFilesNeverBreakTheLayer) {
  std::ifstream file(ExamplePath("workstation.json"));
  std::stringstream contents;
  contents << file.rdbuf();
  const std::string original = contents.str();
  ASSERT_FALSE(original.empty());

  std::mt19937 random(2026);
  const std::string alphabet = "{}[]\",:-0123456789xe. \nabtrunl\\";
  for (int round = 0; round < 150; ++round) {
    std::string text = original;
    const std::size_t at = random() % text.size();
    switch (random() % 3) {
      case 0:
        text.erase(at, random() % 40);
        break;
      case 1:
        text[at] = alphabet[random() % alphabet.size()];
        break;
      default:
        text.insert(at, text.substr(random() % text.size(), random() % 60));
        break;
    }
    SCOPED_TRACE(round);
    ExpectSound(text);
  }
}

// Swaps one value of a bus file for a value of another kind or size.
TEST(SimBadBus, WrongValuesAnywhereNeverBreakTheLayer) {
  std::ifstream file(ExamplePath("single-disk.json"));
  const nlohmann::json original = nlohmann::json::parse(file);
  // Every place in the file: each value, and each object and array above it.
  std::set<std::string> places;
  const nlohmann::json flat = original.flatten();
  for (const auto& [pointer, value] : flat.items())
    for (std::string place = pointer; !place.empty(); place.erase(place.rfind('/')))
      places.insert(place);
  const nlohmann::json replacements[] = {
      nullptr, true, -1, 0, 255, 256, 18446744073709551615u, -9223372036854775807LL - 1,
      1e300, "0x10000000000000000", "zz", nlohmann::json::array({1, 2}),
      nlohmann::json::object({{"hex", "00 ff"}}), std::string(300, '7')};
  for (const std::string& place : places) {
    for (const nlohmann::json& replacement : replacements) {
      nlohmann::json changed = original;
      changed[nlohmann::json::json_pointer(place)] = replacement;
      SCOPED_TRACE(place + " = " + replacement.dump());
      ExpectSound(changed.dump());
    }
  }
}

}  // namespace
