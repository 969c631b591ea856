#include "driver/temp_names.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "support/test_support.h"

namespace lexbuild {
namespace {

using testing::TempDir;

class TempNamesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tmp = getenv("TMP");
    if (tmp) saved_ = tmp;
  }
  void TearDown() override {
    if (saved_)
      setenv("TMP", saved_->c_str(), 1);
    else
      unsetenv("TMP");
  }
  std::optional<std::string> saved_;
};

TEST_F(TempNamesTest, FirstFreeNumberInTmpElseTheWorkFolder) {
  TempDir work;
  TempDir tmp;
  setenv("TMP", ("\"" + tmp.path() + "\"").c_str(), 1);  // quotes are ignored
  TempNames names(work.path());
  testing::write_text(tmp.file("csv_out1"), "");
  testing::write_text(tmp.file("csv_out2"), "");
  EXPECT_EQ(names.next("csv_out"), tmp.file("csv_out3"));
  EXPECT_EQ(names.next("dic_unicode"), tmp.file("dic_unicode4")) << "one counter for all";

  setenv("TMP", (tmp.path() + "/missing").c_str(), 1);
  EXPECT_EQ(names.next("bin_1"), work.file("bin_15"));
  unsetenv("TMP");
  EXPECT_EQ(names.folder(), work.path());
}

}  // namespace
}  // namespace lexbuild
