// A build held in the middle of its run: it reads its source from a named
// pipe and waits for every byte, so the test decides when it may go on.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "support/test_support.h"

namespace lexbuild::testing {

/// A named pipe as a build's source. The test keeps a reading end of its
/// own open, so that what it writes waits in the pipe whether or not the
/// build has opened it yet.
class PipedSource {
 public:
  explicit PipedSource(const std::string& path);
  ~PipedSource();
  PipedSource(const PipedSource&) = delete;
  PipedSource& operator=(const PipedSource&) = delete;

  /// Writes `text` and waits (30 s at most) until the build has read all of it.
  bool feed(std::string_view text);
  /// The build sees the end of its source.
  void close_writer();

 private:
  int reader_ = -1;
  int writer_ = -1;
};

/// Waits (30 s at most) until `path` exists.
bool wait_for_file(const std::string& path);

/// lexbuild started in `dir` on the source "held.tab", a pipe.
struct HeldBuild {
  HeldBuild(const TempDir& dir, const std::vector<std::string>& args, RunOptions options = {});

  /// Lets the build read the start of its source, the first word and its
  /// TAB. The work folder is taken and the earlier database kept aside
  /// before the source is first opened, so once that is read the build
  /// holds both; it goes on waiting for the rest of the source, which it
  /// copies before anything else reads it.
  bool hold() { return source.feed(kHeldStart); }

  /// The rest of `list` (which starts with what hold() gave), then the end
  /// of the source.
  bool release(std::string_view list);

  static constexpr std::string_view kHeldStart = "cat\t";

  PipedSource source;
  RunningProgram program;
};

}  // namespace lexbuild::testing
