#include "main/options.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <string_view>

#include "driver/code_pages.h"
#include "driver/report.h"

namespace lexbuild {
namespace {

[[noreturn]] void syntax_wrong() { report_fatal("Command line syntax is wrong\n"); }

// The text after the argument's first "=". Every option name that leads
// here ends in "=", so there always is one.
std::string_view value_after_equals(std::string_view argument) {
  const size_t equals = argument.find('=');
  assert(equals != std::string_view::npos);
  return argument.substr(equals + 1);
}

// A text value must be non-empty and fit its setting's capacity.
std::string option_text_value(std::string_view argument, size_t capacity) {
  const std::string_view value = value_after_equals(argument);
  if (value.empty() || value.size() >= capacity) syntax_wrong();
  return std::string(value);
}

// An integer value by the atoi rules: leading white space, an optional sign,
// decimal digits up to the first other character. A result of 0 from any
// text but "0" is a syntax error. Values beyond the int range are clamped.
int option_int_value(std::string_view argument) {
  const std::string_view text = value_after_equals(argument);
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  const int result =
      static_cast<int>(std::max<long long>(INT_MIN, std::min<long long>(INT_MAX, value)));
  if (result == 0 && text != "0") syntax_wrong();
  return result;
}

std::string ascii_lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  }
  return lower;
}

bool contains(const std::string& haystack, std::string_view needle) {
  return haystack.find(needle) != std::string::npos;
}

}  // namespace

bool parse_options(const std::vector<std::string>& args, Settings& settings, Console& console) {
  bool go_on = true;
  for (size_t i = 1; i < args.size() && go_on; ++i) {
    const std::string& arg = args[i];
    if (arg.size() >= kArgumentCapacity) syntax_wrong();
    // Names are found anywhere in the argument, in any letter case; values
    // come from the argument itself and keep their case.
    const std::string name = ascii_lower(arg);

    if (contains(name, "--help")) {
      if (i + 1 < args.size() && args[i + 1] == "source_language") {
        list_code_pages(console);
      } else {
        print_usage(console);
      }
      go_on = false;
    } else if (contains(name, "--version")) {
      console.print("lexbuild version %s\n", kProgramVersion);
      go_on = false;
    } else if (contains(name, "--source_format=")) {
      // Held with a leading ".", which takes one byte of the capacity.
      // (Inserted, since GCC 12 at -O3 warns wrongly about "." + string.)
      std::string format = option_text_value(arg, kShortSettingCapacity - 1);
      format.insert(format.begin(), '.');
      settings.source_format = std::move(format);
    } else if (contains(name, "--unicode=")) {
      settings.unicode = option_int_value(arg);
      if (settings.unicode != 0 && settings.unicode != 1) {
        report_fatal("value for the '--unicode' options is wrong\n");
      }
    } else if (contains(name, "--to_unicode=")) {
      settings.to_unicode = option_int_value(arg);
      settings.unicode = 1;
      if (settings.to_unicode < 0 || settings.to_unicode > 3) {
        report_fatal("value for the '--to_unicode' options is wrong\n");
      }
    } else if (contains(name, "--largefont=")) {
      settings.largefont_given = true;
      settings.largefont = option_int_value(arg);
      if (settings.largefont != 0 && settings.largefont != 1) {
        report_fatal("value for the '--largefont=' options is wrong\n");
      }
    } else if (contains(name, "--cutlong=")) {
      settings.cutlong = option_int_value(arg);
      if (settings.cutlong != 0 && settings.cutlong != 1) {
        report_fatal("value for the '--cutlong=' options is wrong\n");
      }
    } else if (contains(name, "--id=")) {
      settings.id_given = true;
      // The output name "<id>.pdb" must fit its setting too: at most 59 characters.
      settings.id = option_text_value(arg, kShortSettingCapacity - 4);
    } else if (contains(name, "--outfile=")) {
      settings.outfile = option_text_value(arg, kShortSettingCapacity);
    } else if (contains(name, "--infile=")) {
      settings.infile = option_text_value(arg, kShortSettingCapacity);
    } else if (contains(name, "--abbrfile=")) {
      settings.abbrfile_given = true;
      settings.abbrfile = option_text_value(arg, kPathSettingCapacity);
    } else if (contains(name, "--fontfile=") || contains(name, "--font_textlr=")) {
      settings.fontfile_given = true;
      settings.fontfile = option_text_value(arg, kPathSettingCapacity);
    } else if (contains(name, "--aboutfile=")) {
      settings.aboutfile_given = true;
      settings.aboutfile = option_text_value(arg, kPathSettingCapacity);
    } else if (contains(name, "--kbdfile=")) {
      settings.kbdfile_given = true;
      settings.kbdfile = option_text_value(arg, kPathSettingCapacity);
    } else if (contains(name, "--debug")) {
      settings.debug = true;
    } else if (contains(name, "--source_language=")) {
      settings.source_language = option_text_value(arg, kShortSettingCapacity);
    } else if (contains(name, "--pictures_db=") || contains(name, "--allow_html=") ||
               contains(name, "--font_texthr=") || contains(name, "--font_listhr=")) {
      // Read by the post-build pass.
    } else if (contains(name, "--source_encoding=")) {
      // Tested last, so that every argument that meant something before it
      // existed keeps its meaning.
      const std::string value = ascii_lower(option_text_value(arg, kShortSettingCapacity));
      if (value != "utf-8" && value != "utf8") {
        report_fatal(
            "value for the '--source_encoding=' options is wrong: utf-8 is the one encoding it "
            "names; leave it out for a list in the codepage of --source_language\n");
      }
      settings.source_utf8 = true;
    } else {
      console.print("lexbuild: unrecognized options '%s'", arg.c_str());
      console.write("\nlexbuild: use the '--help' option for usage information\n");
      go_on = false;
    }
  }
  // A conversion always hands a UTF-16 list on, so a later --unicode=0 must
  // not make the compiler read it as 8-bit text.
  if (settings.to_unicode != 0) settings.unicode = 1;
  return go_on;
}

}  // namespace lexbuild
