#include "platform/file_lock.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "support/test_support.h"

namespace lexbuild::platform {
namespace {

using lexbuild::testing::exists;
using lexbuild::testing::TempDir;
using lexbuild::testing::write_text;

TEST(FileLock, OneHolderAtATimeAndTheFileGoesWithIt) {
  TempDir dir;
  const std::string path = dir.file("lexbuild.lock");
  FileLock first;
  ASSERT_EQ(first.lock(path), FileLock::Result::kLocked);
  EXPECT_TRUE(first.is_locked());
  // Another open of the file stands for another process.
  FileLock second;
  EXPECT_EQ(second.lock(path), FileLock::Result::kBusy);
  EXPECT_FALSE(second.is_locked());

  first.unlock();
  EXPECT_FALSE(exists(path));
  EXPECT_EQ(second.lock(path), FileLock::Result::kLocked);
  EXPECT_TRUE(exists(path));
}

TEST(FileLock, AFileLeftByAKilledHolderIsNoLock) {
  TempDir dir;
  write_text(dir.file("lexbuild.lock"), "");
  FileLock lock;
  EXPECT_EQ(lock.lock(dir.file("lexbuild.lock")), FileLock::Result::kLocked);
}

TEST(FileLock, AFolderThatCannotHoldTheFileFails) {
  TempDir dir;
  FileLock lock;
  EXPECT_EQ(lock.lock(dir.file("missing/lexbuild.lock")), FileLock::Result::kFailed);
  EXPECT_EQ(lock.error_code(), ENOENT);
  EXPECT_FALSE(lock.is_locked());
}

}  // namespace
}  // namespace lexbuild::platform
