// The intake chains' bookkeeping: which file holds the newest version of the
// list, and the stage files that hold each new version.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "driver/build_context.h"
#include "platform/file.h"

namespace lexbuild {

/// The current list: at first the user's source, named by settings.infile;
/// later the newest stage file. The user's source is never deleted.
class CurrentList {
 public:
  /// Stage files go through `files` when it is given, so that a failed or
  /// interrupted build deletes them.
  explicit CurrentList(Settings& settings, BuildFiles* files = nullptr)
      : settings_(settings), files_(files), path_(settings.infile) {}
  CurrentList(const CurrentList&) = delete;
  CurrentList& operator=(const CurrentList&) = delete;

  const std::string& path() const { return path_; }
  /// Whether the current list is a stage file of this chain.
  bool is_stage_file() const { return is_stage_file_; }

  /// Whether the list is already in the 16-bit list encoding because a stage
  /// wrote it so (a source read as UTF-8), with no conversion left to run.
  bool is_utf16() const { return utf16_; }
  void mark_utf16() { utf16_ = true; }

  /// Makes the stage file `stage_path` the current list and names it in
  /// settings.infile. The previous list is deleted when it was a stage file.
  void replace(const std::string& stage_path);

  /// Deletes the current list when it is a stage file (a failed deletion is
  /// ignored). The user's source stays.
  void remove();

  /// Whether the next stage may leave its version of the list in memory: when
  /// the stage after it takes the whole list at once (the sort), writing the
  /// list and reading it straight back would only cost time.
  bool may_hold() const { return may_hold_; }
  void allow_holding(bool allow) { may_hold_ = allow; }

  /// Makes `contents` the current list's, which is then a stage file created
  /// empty (it keeps the name this build's): the sort writes the file.
  void hold(std::vector<uint8_t> contents) { held_ = std::move(contents); }
  bool is_held() const { return held_.has_value(); }
  /// The held contents, which are no longer held; none when nothing is.
  std::optional<std::vector<uint8_t>> take_held();

 private:
  Settings& settings_;
  BuildFiles* files_;
  std::string path_;
  bool is_stage_file_ = false;
  bool utf16_ = false;
  bool may_hold_ = false;
  std::optional<std::vector<uint8_t>> held_;
};

/// A stage file being written: its name is formed from a prefix and the first
/// free number in the temporary folder, and it is created at once. A name
/// that another process took meanwhile is passed over, so that builds
/// sharing the temporary folder never write into one file.
class StageFile {
 public:
  /// Fatal when the file cannot be created.
  StageFile(BuildContext& context, std::string_view prefix,
            platform::FileMode mode = platform::FileMode::kBinary);
  StageFile(const StageFile&) = delete;
  StageFile& operator=(const StageFile&) = delete;

  const std::string& path() const { return path_; }
  platform::OutputFile& out() { return file_; }
  /// The build's files, to which this one belongs.
  BuildFiles& files() { return files_; }

  /// Closes the file; fatal, naming it, when any write failed (a full disk).
  /// The incomplete file is deleted then: it would only take up room.
  void close();
  /// Closes and deletes the file, for a stage that gives up.
  void discard();

 private:
  BuildFiles& files_;
  std::string path_;
  platform::OutputFile file_;
};

/// Opens the list at `path` for reading; fatal, naming it, when it cannot.
void open_list(platform::InputFile& file, const std::string& path);

/// Fatal, naming the list, when reading it failed midway.
void check_read(const platform::InputFile& file, const std::string& path);

}  // namespace lexbuild
