// The output name for one run. The database may only be written where it
// can be, never over a file the build reads, and a run that fails leaves
// the output name as it found it: an earlier database of that name is kept
// aside until the run has succeeded (the post-build pass comes after the
// database is written, and may still fail) and is put back otherwise.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "driver/settings.h"
#include "platform/file_lock.h"
#include "platform/interrupt_cleanup.h"

namespace lexbuild {

class OutputGuard {
 public:
  /// Checks that the database settings.outfile can be written, before any
  /// work is done: fatal, naming the file, for a folder that does not exist
  /// or cannot be written, for an existing folder or read-only file of that
  /// name, and for a name that is also one of the build's inputs (the
  /// source, a side file or a font file of `args`). Then keeps an existing
  /// database aside. Hidden files that killed builds left beside the
  /// database go first.
  OutputGuard(const Settings& settings, const std::vector<std::string>& args);
  /// Unless committed: puts the kept database back, or removes a database
  /// this run wrote where there was none; a signal that ends the run does
  /// the same.
  ~OutputGuard();
  OutputGuard(const OutputGuard&) = delete;
  OutputGuard& operator=(const OutputGuard&) = delete;

  /// The run succeeded: the database stays and the kept one goes.
  void commit();

  /// Where the earlier database is kept meanwhile ("" when there was none).
  const std::string& kept_path() const { return kept_; }

 private:
  std::string path_;
  std::string kept_;
  bool existed_ = false;
  bool committed_ = false;
  // The same when a signal (Ctrl-C) ends the run.
  std::optional<platform::InterruptCleanup> on_signal_;
  platform::FileHold hold_;  // the kept database is a running build's
};

}  // namespace lexbuild
