// Run by its own ctest entry with LOCPATH naming a private locale directory
// and LC_ALL and LANG set to de_DE.UTF-8: the capacity then reads 2.007,07.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "report_fixture.h"
#include "reports/device_reports.h"
#include "reports/format.h"

extern char** environ;

namespace {

bool ProgramOnPath(const char* name) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return false;
  std::string directories = path;
  std::size_t start = 0;
  while (start <= directories.size()) {
    const std::size_t end = std::min(directories.find(':', start), directories.size());
    const std::filesystem::path candidate =
        std::filesystem::path(directories.substr(start, end - start)) / name;
    if (access(candidate.c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

class GermanLocaleTest : public ReportTest {
 protected:
  static void SetUpTestSuite() {
    const char* directory = std::getenv("LOCPATH");
    ASSERT_NE(directory, nullptr) << "run through ctest, which sets LOCPATH";
    if (!ProgramOnPath("localedef")) {
      missingLocaledef_ = true;
      return;
    }
    std::filesystem::create_directories(directory);
    const std::string target = std::string(directory) + "/de_DE.UTF-8";
    if (std::filesystem::exists(target + "/LC_NUMERIC")) return;
    const char* argv[] = {"localedef", "-i", "de_DE", "-f", "UTF-8", target.c_str(), nullptr};
    pid_t child = 0;
    ASSERT_EQ(posix_spawnp(&child, "localedef", nullptr, nullptr, const_cast<char**>(argv), environ), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    // localedef exits with 1 on mere warnings; what counts is the result.
    ASSERT_TRUE(std::filesystem::exists(target + "/LC_NUMERIC"))
        << "localedef could not build " << target;
  }

  void SetUp() override {
    if (missingLocaledef_) GTEST_SKIP() << "localedef is missing (Debian package locales)";
    ReportTest::SetUp();
  }

  static inline bool missingLocaledef_ = false;
};

TEST_F(GermanLocaleTest, ReadsTheSeparatorsOfTheSystemLocale) {
  EXPECT_EQ(SystemNumberSeparators(), (NumberSeparators{".", ","}));
}

TEST_F(GermanLocaleTest, CapacityShowsGermanSeparators) {
  UseBus("capacities.json");
  window.detailed = true;
  ReportCapacity(0, 0);
  ReportCapacity(6, 0);
  const std::string label = S("容量(ﾒｶﾞﾊﾞｲﾄ)") + Blanks(9) + "= ";
  const auto lines = window.Memo1();
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[3], label + "2.007,07");
  EXPECT_EQ(lines[7], label + "2.097.152,00");
}

// A Qt program sets the process locale from the environment when it starts;
// the other conversions must not follow it.
TEST_F(GermanLocaleTest, ProcessLocaleChangesNoOtherConversion) {
  ASSERT_NE(std::setlocale(LC_ALL, ""), nullptr);
  char probe[16];
  std::snprintf(probe, sizeof probe, "%.1f", 1.5);
  EXPECT_STREQ(probe, "1,5") << "the process locale did not switch; the check below means nothing";
  EXPECT_EQ(FormatLine("%d|%x|%n|%-6s|", {1234567, 0xABCD, 1234.5L, "ab"}), "1234567|ABCD|1.234,50|ab    |");
  std::setlocale(LC_ALL, "C");
}

}  // namespace
