#include "driver/work_folder_lock.h"

#include <gtest/gtest.h>

#include <optional>

#include "compiler/compiler_test_util.h"
#include "support/test_support.h"

namespace lexbuild::testing {
namespace {

TEST(WorkFolderLock, ASecondBuildIsToldWhatToDo) {
  TempDir dir;
  const Settings settings = init_settings_with_work_folder(dir.path());
  std::optional<WorkFolderLock> first;
  first.emplace(settings);
  EXPECT_TRUE(exists(dir.file(kWorkFolderLockFile)));
  EXPECT_EQ(fatal_text([&] { WorkFolderLock second(settings); }),
            "lexbuild error: the work folder " + dir.path() +
                " is in use by another lexbuild run; give each build its own TEMP folder, or run "
                "the builds one after another\n");

  first.reset();
  EXPECT_FALSE(exists(dir.file(kWorkFolderLockFile)));
  EXPECT_EQ(fatal_text([&] { WorkFolderLock again(settings); }), "");
}

TEST(WorkFolderLock, AFolderWithoutRoomForTheLockFileIsFatal) {
  TempDir dir;
  const Settings settings = init_settings_with_work_folder(dir.file("missing"));
  EXPECT_EQ(fatal_text([&] { WorkFolderLock lock(settings); }),
            "lexbuild error: cannot create files in the work folder " + dir.file("missing") +
                ": No such file or directory; set TEMP to a folder you can write to\n");
}

}  // namespace
}  // namespace lexbuild::testing
