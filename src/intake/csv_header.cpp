#include "intake/csv_header.h"

#include "driver/report.h"
#include "platform/file.h"

namespace lexbuild {
namespace {

std::string read_header_line(const std::string& path, bool& opened, bool& has_tab) {
  platform::InputFile file;
  opened = file.open(path);
  std::string line;
  if (!opened) return line;
  platform::TextInput text(file);
  for (int c; line.size() < kHeaderLineCapacity && (c = text.get()) >= 0 && c != '\n';) {
    line.push_back(static_cast<char>(c));
  }
  has_tab = line.find('\t') != std::string::npos;
  // The line is searched as a zero-terminated text.
  if (const size_t zero = line.find('\0'); zero != std::string::npos) line.resize(zero);
  return line;
}

void write_directive_file(const std::string& path, std::string_view value, char line_break) {
  platform::OutputFile out;
  if (!out.create(path, platform::FileMode::kText)) {
    report_fatal("could not open %s file", path.c_str());
  }
  out.write(directive_file_text(value, line_break));
  if (!out.close()) {
    report_fatal("could not write %s file: %s\n", path.c_str(),
                 platform::error_text(out.error_code()).c_str());
  }
}

}  // namespace

std::optional<std::string> directive_value(std::string_view line, std::string_view name) {
  const size_t at = line.find(name);
  if (at == std::string_view::npos) return std::nullopt;
  // Skip the name and the opening bracket after it.
  const size_t start = at + name.size() + 1;
  if (start >= line.size()) return std::string();
  const std::string_view rest = line.substr(start);
  // Without a closing bracket the value ends with the line: nothing beyond it is read.
  return std::string(rest.substr(0, rest.find(']')));
}

std::string directive_file_text(std::string_view value, char line_break) {
  std::string text;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size() && value[i + 1] == 'n') {
      text.push_back(line_break);
      ++i;
    } else {
      text.push_back(value[i]);
    }
  }
  text.push_back('\0');
  return text;
}

void read_header_directives(BuildContext& context, Utf8LineConverter* utf8_text) {
  Settings& settings = context.settings;
  bool opened = false;
  bool has_tab = false;
  std::string line = read_header_line(settings.infile, opened, has_tab);
  if (!opened) return;
  if (utf8_text && line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
  // The format detection looks at the first 49 characters only: a TAB list
  // whose first TAB comes later is read as CSV, each line one field.
  if (has_tab) {
    report_warning(context.console,
                   "the first line of %s holds a TAB: the list looks tab-separated but is read "
                   "as CSV; give --source_format=tab if it is a TAB list\n",
                   source_name_for_messages(context).c_str());
  }
  // The texts go into the code page like the entries.
  auto text = [utf8_text](std::optional<std::string> value) {
    if (value && utf8_text) value = utf8_text->to_code_page(*value, 1);
    return value;
  };

  if (!settings.abbrfile_given) {
    if (auto value = text(directive_value(line, "ABBREVIATION="))) {
      write_directive_file(settings.abbrfile, *value, '\n');
    }
  }
  if (!settings.aboutfile_given) {
    if (auto value = text(directive_value(line, "ABOUT="))) {
      write_directive_file(settings.aboutfile, *value, ' ');
    }
  }
  if (!settings.id_given) {
    if (auto value = text(directive_value(line, "ID="))) {
      if (value->empty()) {
        // An empty name would leave the dictionary nameless in the reader's list.
        report_warning(context.console,
                       "the first line's ID=[] gives no name; the dictionary keeps the ID '%s'\n",
                       settings.id.c_str());
        value = settings.id;
      } else if (value->size() > kIdDirectiveLimit) {
        report_warning(
            context.console, "the dictionary ID '%s' is longer than %zu characters; '%s' is used\n",
            value->c_str(), kIdDirectiveLimit, value->substr(0, kIdDirectiveLimit).c_str());
        value->resize(kIdDirectiveLimit);
      }
      settings.id = *value;
    }
  }
  if (!settings.largefont_given) {
    if (auto value = directive_value(line, "LARGEFONT=")) {
      settings.largefont = !value->empty() && (*value)[0] == '1' ? 1 : 0;
    }
  }
}

}  // namespace lexbuild
