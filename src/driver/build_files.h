// The files a build makes outside the names it owns by its work folder's
// lock: stage files in the temporary folder (which other builds may share)
// and the side files it writes in the work folder. The build lists them in
// a journal in its work folder as it makes and deletes them, so that
//   - a failed build deletes them before it exits (unless --debug, which
//     keeps everything a failed build had, for the user to send in),
//   - a signal deletes them as it ends the build,
//   - and what a killed build could not delete is deleted by the next build
//     that takes the same work folder's lock: the journal names the files,
//     and a file that a running build holds is never touched.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "driver/log.h"
#include "driver/settings.h"
#include "platform/file.h"
#include "platform/file_lock.h"
#include "platform/interrupt_cleanup.h"

namespace lexbuild {

/// The journal in the work folder; it exists only while a build runs, or
/// after one that was killed or failed with --debug.
inline constexpr char kBuildFilesJournal[] = "lexbuild.journal";

/// Names of the files in the work folder that a build owns by the lock
/// alone: the compiler's record, chunk and scratch files.
using WorkFileTest = platform::InterruptSweep::NameTest;

class BuildFiles {
 public:
  /// Tracks files in memory (and for signals) only, until start().
  BuildFiles() = default;
  /// A build that did not finish deletes its files, unless --debug.
  ~BuildFiles();
  BuildFiles(const BuildFiles&) = delete;
  BuildFiles& operator=(const BuildFiles&) = delete;

  /// Starts the journal in the work folder of `settings`, whose lock the
  /// build holds. A signal then also deletes the files of the work folder
  /// that `work_files` accepts, or with --debug those that `scratch_files`
  /// accepts (the record and chunk files stay, as after a good build).
  void start(const Settings& settings, WorkFileTest work_files, WorkFileTest scratch_files);

  /// Creates `path` for this build, only when no file has that name yet
  /// (false otherwise, with file.error_code()). The journal names it before
  /// it exists, and a signal finds it registered as soon as it exists.
  bool create_new(platform::OutputFile& file, const std::string& path,
                  platform::FileMode mode = platform::FileMode::kBinary);
  /// `path`, already created, was replaced by a new file of that name.
  void renewed(const std::string& path);
  /// `path` is this build's whatever file is there: a side file in the work
  /// folder that the build may write, and deletes at its end in any case.
  void claim(const std::string& path);
  /// Deletes `path`, a file of this build; false when it could not.
  bool remove(const std::string& path);

  /// The build succeeded: the journal goes.
  void finish();

 private:
  struct Tracked {
    std::optional<platform::InterruptCleanup> on_signal;
    platform::FileHold hold;
  };
  void journal(char kind, const std::string& path);
  void track(const std::string& path);

  const Settings* settings_ = nullptr;
  WorkFileTest work_files_ = nullptr;
  std::string journal_path_;
  platform::OutputFile journal_;
  std::optional<platform::InterruptCleanup> journal_on_signal_;
  std::optional<platform::InterruptSweep> sweep_;
  std::map<std::string, std::unique_ptr<Tracked>> files_;
  bool finished_ = false;
};

/// What earlier builds left in the work folder of `settings`, deleted by
/// the build that now holds its lock: the files their journal names (those
/// that no running build holds), and every file of the folder that
/// `work_files` accepts. Logged with --debug.
void clear_leftovers(const Settings& settings, Log& log, WorkFileTest work_files);

}  // namespace lexbuild
