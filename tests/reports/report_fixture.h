// Runs the reports against a bus file of the simulated layer and a
// recording main window.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <memory>
#include <vector>

#include "aspi/request_block.h"
#include "wnaspi32/front/backend.h"
#include "recording_window.h"
#include "text/cp932.h"

class ReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MainWindow = &window;
    ClearRequestBlock();
    ClearDataBuffer();
    AdapterCount = CurrentAdapter = CurrentTarget = ByteIndex = FieldValue = 0;
    WorkText.clear();
  }
  void TearDown() override {
    MainWindow = nullptr;
    // Every report leaves WorkText empty.
    EXPECT_TRUE(WorkText.empty());
  }

 public:
  static void UseBus(std::string_view name) {
    const std::string path = std::string(BUSVIEW_TEST_BUSES) + "/" + std::string(name);
    UseBackend(wnaspi32::MakeSimBackend(path.c_str()));
  }

  static void UseBackend(std::unique_ptr<wnaspi32::Backend> backend) {
    wnaspi32::ReplaceBackend(std::move(backend));
  }

 protected:
  RecordingWindow window;
};

// Expected lines are built from these, independently of the line format.
inline std::string S(std::string_view utf8) { return Cp932(utf8); }
inline std::string Blanks(std::size_t count) { return std::string(count, ' '); }
inline std::string Nuls(std::size_t count) { return std::string(count, '\0'); }
