// A build context in a folder of its own, with TMP pointing at a second
// folder for the stage files, for tests of the intake stages.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <optional>
#include <string>

#include "driver/build_context.h"
#include "intake/current_list.h"
#include "support/test_support.h"

namespace lexbuild {

class IntakeTest : public ::testing::Test {
 protected:
  IntakeTest()
      : settings_(init_settings_with_work_folder(work_.path())),
        context_(settings_, console_, log_) {}

  void SetUp() override {
    if (const char* tmp = getenv("TMP")) saved_tmp_ = tmp;
    setenv("TMP", tmp_.path().c_str(), 1);
  }
  void TearDown() override {
    if (saved_tmp_) {
      setenv("TMP", saved_tmp_->c_str(), 1);
    } else {
      unsetenv("TMP");
    }
  }

  /// Writes the user's source and makes it settings.infile.
  std::string source(const std::vector<uint8_t>& bytes) {
    const std::string path = work_.file("source.tab");
    testing::write_bytes(path, bytes);
    settings_.infile = path;
    return path;
  }
  std::string source(std::string_view text) { return source(testing::bytes_of(text)); }

  /// Names of the files in the stage-file folder.
  std::vector<std::string> stage_files() const { return testing::list_folder(tmp_.path()); }

  testing::TempDir work_;
  testing::TempDir tmp_;
  Settings settings_;
  StringConsole console_;
  Log log_;
  BuildContext context_;
  std::optional<std::string> saved_tmp_;
};

}  // namespace lexbuild
