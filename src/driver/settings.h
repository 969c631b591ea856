// The build's settings: one value per command-line option, the four markers
// that say which options were given, and the work folder.
#pragma once

#include <cstddef>
#include <string>

namespace lexbuild {

/// Capacities of the text settings, the terminating zero included. A value
/// must be shorter than its capacity.
inline constexpr size_t kShortSettingCapacity = 64;  // infile, outfile, id, source_format, ...
inline constexpr size_t kPathSettingCapacity = 256;  // abbrfile, aboutfile, fontfile, kbdfile
inline constexpr size_t kWorkFolderCapacity = 256;

struct Settings {
  std::string infile = "none.csv";
  std::string outfile = "none.pdb";
  std::string id = "none";
  std::string source_format = ".csv";  // held with its leading "."
  std::string source_language;         // empty: the "C" locale stays in force
  int unicode = 0;
  int to_unicode = 0;
  int largefont = 0;
  int cutlong = 1;
  bool debug = false;
  // --source_encoding=utf-8: the source is UTF-8, converted at the start of
  // the chain into the list encoding the dictionary stores.
  bool source_utf8 = false;
  std::string abbrfile;   // default: "_abbr.txt" in the work folder
  std::string aboutfile;  // default: "_about.txt" in the work folder
  std::string fontfile;   // also set by --font_textlr=; default "_fnt_trans.txt"
  std::string kbdfile;    // default: "_kbd.txt" in the work folder

  // Markers: set when the option was given, so that a first-line directive of
  // a CSV source may not override it.
  bool id_given = false;
  bool abbrfile_given = false;
  bool aboutfile_given = false;
  bool largefont_given = false;
  // Set when --fontfile= (or --font_textlr=) and --kbdfile= were given: a
  // file the user named must exist, while a default one may be missing.
  bool fontfile_given = false;
  bool kbdfile_given = false;

  /// Folder of every intermediate file.
  std::string work_folder;

  /// Path of `name` in the work folder.
  std::string work_path(const std::string& name) const;
};

/// Settings with their defaults, the work folder read from the environment
/// ("TEMP", else "TMPDIR", else /tmp) and the four default paths formed.
/// Fatal "Could not retrieve TEMP folder\n" when no usable folder results.
Settings init_settings();

/// The same for a given work folder (for tests and embedders).
Settings init_settings_with_work_folder(const std::string& work_folder);

}  // namespace lexbuild
