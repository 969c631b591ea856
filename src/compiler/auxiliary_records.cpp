#include "compiler/auxiliary_records.h"

#include <cerrno>
#include <optional>
#include <string>
#include <vector>

#include "compiler/format.h"
#include "compiler/work_files.h"
#include "driver/report.h"
#include "platform/file.h"

namespace lexbuild {
namespace {

constexpr char kFontWordsSourceFile[] = "_fntWords.txt";

enum class RecordForm {
  kText,  // CR LF pairs become LF, a zero byte ends it
  kCopy,  // the bytes unchanged
};

[[noreturn]] void refuse_size(const std::string& path, uint64_t record_size) {
  report_fatal(
      "'%s' is too large for a dictionary record: it needs %llu bytes, but a record holds at "
      "most %zu; shorten the file\n",
      path.c_str(), static_cast<unsigned long long>(record_size), format::kMaxRecordSize);
}

// A side file and, when the command line named it, its option.
struct SideFile {
  const std::string& path;
  const char* option;  // nullptr for a default file, which may be missing
  const char* kind;
};

SideFile about_file(const Settings& s) {
  return {s.aboutfile, s.aboutfile_given ? "--aboutfile=" : nullptr, "about"};
}
SideFile abbr_file(const Settings& s) {
  return {s.abbrfile, s.abbrfile_given ? "--abbrfile=" : nullptr, "abbreviations"};
}
SideFile font_trans_file(const Settings& s) {
  return {s.fontfile, s.fontfile_given ? "--fontfile=" : nullptr, "font"};
}
SideFile kbd_file(const Settings& s) {
  return {s.kbdfile, s.kbdfile_given ? "--kbdfile=" : nullptr, "keyboard"};
}

[[noreturn]] void named_file_unreadable(const SideFile& file, int error) {
  report_fatal(
      "the %s file %s named by %s cannot be read: %s; name an existing file or leave "
      "the option out\n",
      file.kind, file.path.c_str(), file.option, platform::error_text(error).c_str());
}

// The record made from `file`, or nothing when there is no such file.
std::optional<std::vector<uint8_t>> record_from(const SideFile& file, RecordForm form) {
  const std::string& path = file.path;
  if (!platform::file_exists(path)) {
    if (file.option != nullptr) named_file_unreadable(file, ENOENT);
    return std::nullopt;
  }
  const uint64_t extra = form == RecordForm::kText ? 1 : 0;
  // The size is checked before reading, so a huge file is never loaded.
  if (const auto size = platform::file_size(path); size && *size > format::kMaxRecordSize) {
    refuse_size(path, *size + extra);
  }
  std::vector<uint8_t> bytes;
  int error = 0;
  if (!platform::read_file(path, bytes, &error)) {
    report_fatal("could not read '%s': %s; make it readable or leave it out\n", path.c_str(),
                 platform::error_text(error).c_str());
  }
  if (bytes.size() > format::kMaxRecordSize) refuse_size(path, bytes.size() + extra);
  if (form == RecordForm::kText) {
    bytes.resize(crlf_to_lf(bytes));
    bytes.push_back(0);
    if (bytes.size() > format::kMaxRecordSize) refuse_size(path, bytes.size());
  }
  return bytes;
}

void write_optional_record(const BuildContext& context, const SideFile& source,
                           const char* record_file, RecordForm form, bool& flag) {
  const auto record = record_from(source, form);
  if (!record) return;
  write_work_file(context.settings, record_file, *record);
  flag = true;
}

}  // namespace

size_t crlf_to_lf(std::span<uint8_t> bytes) {
  size_t out = 0;
  for (size_t in = 0; in < bytes.size(); ++in) {
    if (bytes[in] == '\r' && in + 1 < bytes.size() && bytes[in + 1] == '\n') ++in;
    bytes[out++] = bytes[in];
  }
  return out;
}

void check_named_side_files(const Settings& settings) {
  for (const SideFile& file :
       {about_file(settings), abbr_file(settings), font_trans_file(settings), kbd_file(settings)}) {
    if (file.option == nullptr) continue;
    platform::InputFile input;
    if (!input.open(file.path)) named_file_unreadable(file, input.error_code());
  }
}

void write_about_record(const BuildContext& context, PresenceFlags& present) {
  write_optional_record(context, about_file(context.settings), kAboutRecordFile, RecordForm::kText,
                        present.has_about);
}

void write_abbr_record(const BuildContext& context, PresenceFlags& present) {
  write_optional_record(context, abbr_file(context.settings), kAbbrRecordFile, RecordForm::kText,
                        present.has_abbr);
}

void copy_font_words_record(const BuildContext& context, PresenceFlags& present) {
  const std::string path = context.settings.work_path(kFontWordsSourceFile);
  write_optional_record(context, SideFile{path, nullptr, "word-list font"}, kFontWordsRecordFile,
                        RecordForm::kCopy, present.has_font_words);
}

void copy_font_trans_record(const BuildContext& context, PresenceFlags& present) {
  write_optional_record(context, font_trans_file(context.settings), kFontTransRecordFile,
                        RecordForm::kCopy, present.has_font_trans);
}

void copy_kbd_record(const BuildContext& context, PresenceFlags& present) {
  write_optional_record(context, kbd_file(context.settings), kKbdRecordFile, RecordForm::kCopy,
                        present.has_kbd);
}

}  // namespace lexbuild
