// A source that gives its bytes only once (a pipe, a FIFO, a character
// device, standard input) is copied into a stage file before anything reads
// it: the format detection, the first-line directives and the chain each
// read the source from its start.
#pragma once

#include <string>

#include "driver/build_context.h"

namespace lexbuild {

/// --infile= names standard input with this.
inline constexpr char kStandardInputName[] = "-";

class SourceCopy {
 public:
  /// Copies the source named by settings.infile into a "csv_in" stage file
  /// when it cannot be read twice; the copy then stands for the source in
  /// settings.infile and context.source_file. A source that can be read
  /// again, or that does not exist, is left to the intake as it is. Fatal,
  /// naming the source, when reading it fails.
  explicit SourceCopy(BuildContext& context);
  /// Deletes the copy, whether the build succeeded or not.
  ~SourceCopy();
  SourceCopy(const SourceCopy&) = delete;
  SourceCopy& operator=(const SourceCopy&) = delete;

 private:
  BuildFiles& files_;
  std::string path_;
};

}  // namespace lexbuild
