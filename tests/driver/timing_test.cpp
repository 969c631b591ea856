#include "driver/timing.h"

#include <gtest/gtest.h>
#include <time.h>

#include <cstdlib>

#include "driver/code_pages.h"

namespace lexbuild {
namespace {

class TimingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
  }
};

constexpr int64_t kNoon = 1700000000 - 1700000000 % 86400 + 12 * 3600;

TEST_F(TimingTest, StartMillisecondsAreUnpaddedEndMillisecondsPadded) {
  EXPECT_EQ(timing_text({kNoon, 995}, {kNoon + 1, 2}),
            "\nBeginning of building: 12:00:00.995"
            "\nEnding of building:    12:00:01.002"
            "\nTotal building:        00:00:00.007\n");
  EXPECT_EQ(timing_text({kNoon, 7}, {kNoon, 7}),
            "\nBeginning of building: 12:00:00.7"
            "\nEnding of building:    12:00:00.007"
            "\nTotal building:        00:00:00.000\n");
}

TEST_F(TimingTest, LongBuildsBreakIntoHoursMinutesSeconds) {
  EXPECT_NE(
      timing_text({kNoon, 0}, {kNoon + 3723, 450}).find("Total building:        01:02:03.450"),
      std::string::npos);
  // Hours count modulo 24.
  EXPECT_NE(timing_text({kNoon, 0}, {kNoon + 25 * 3600, 0}).find("01:00:00.000"),
            std::string::npos);
}

TEST_F(TimingTest, AClockSetBackPrintsZero) {
  EXPECT_NE(
      timing_text({kNoon, 500}, {kNoon - 10, 100}).find("Total building:        00:00:00.000"),
      std::string::npos);
}

TEST(LanguageList, NamesAreUniqueAndInByteOrder) {
  const std::vector<std::string> names = language_list();
  ASSERT_FALSE(names.empty());
  for (size_t i = 1; i < names.size(); ++i) EXPECT_LT(names[i - 1], names[i]);
  for (const char* expected : {"English", "Russian", "German", "French", "Greek"}) {
    EXPECT_TRUE(std::binary_search(names.begin(), names.end(), expected)) << expected;
  }
  StringConsole console;
  EXPECT_EQ(list_code_pages(console), static_cast<int>(names.size()));
  EXPECT_EQ(console.text().substr(0, names[0].size() + 1), names[0] + "\n");
}

}  // namespace
}  // namespace lexbuild
