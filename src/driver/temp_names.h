// Names of stage files and other temporary files: a prefix and the first free
// number, in the temporary folder.
#pragma once

#include <string>
#include <string_view>

namespace lexbuild {

class TempNames {
 public:
  explicit TempNames(std::string work_folder) : work_folder_(std::move(work_folder)) {}

  /// The temporary folder: the one named by TMP when it is set and exists
  /// (quotes around the value ignored), else the work folder, else the root
  /// folder, else the current folder.
  std::string folder() const;

  /// A path in the temporary folder made of `prefix` and the first number,
  /// counting on from this object's counter, for which no file exists yet.
  /// Fatal when the path would be longer than 260 characters.
  std::string next(std::string_view prefix);

 private:
  std::string work_folder_;
  unsigned long counter_ = 1;
};

}  // namespace lexbuild
