#include <array>
#include <string_view>

#include "main/options.h"

namespace lexbuild {
namespace {

// Each piece is printed followed by one line break; pieces that end in a line
// break of their own therefore leave an empty line after them.
constexpr std::array<std::string_view, 28> kUsage = {
    "Usage: lexbuild [options]\n",
    "Examples:",
    "  lexbuild\n    inputs none.csv file and results none.pdb file",
    "  lexbuild --infile=\"c:\\My Documents\\dictionary.txt\" --id=\"MyDict\"\n    inputs "
    "\"c:\\My Documents\\dictionary.txt\" file and results MyDict.pdb file\n",
    "For more information see the option description below and manual file.\n",
    "Basic options:\n",
    "  --help\n        Display this information",
    "  --version\n        Report lexbuild version",
    "  --source_format=<csv|tab>\n        Define the source file format\n          csv: "
    "comma-separated values: \"Word\",\"Word Description\"\n          tab: tab-separated "
    "values: Word<TAB>Word Description\n        Default: csv\n        For more information "
    "and examples refer to the manual",
    "  --id=\"<name no more than 12 chars>\"\n        Dictionary ID to display in the Velmora "
    "drop down box.\n        Default: \"none\"",
    "  --outfile=\"<output filename>\"\n        Output filename for the dictionary\n        "
    "Default: \"<id>.pdb\"",
    "  --infile=\"<input filename>\"\n        Input filename for the dictionary\n        "
    "Default: \"none.csv\"",
    "  --abbrfile=\"<abbreviations filename>\"\n        Text file containing information to "
    "display in \"Help | Abbreviations\" for this dictionary",
    "  --aboutfile=\"<about filename>\"\n        Text file to specify copyright and author "
    "information for\n        the dictionary. File length is no more than 200 characters",
    "  --source_language\n        Set codepage for a source language (the language of words "
    "in the word\n        list).\n        Run \"--help source_language\" for the list of "
    "available codepages.\n        The codepage is required for correct sorting rules.\n       "
    " Default: default system codepage.",
    "\nAdvanced options:\n",
    "  --largefont=0|1\n        Default font size for the dictionary entries.\n        0 - "
    "standard\n        1 - large\n        Default: 0\n        This option is useful to display "
    "Chinese, Japan, Korean,\n        Vietnamese languages, where large fonts present better "
    "quality\n        of characters",
    "  --unicode=0|1\n        Unicode characters present. For more information refer to the "
    "manual\n        Default: 0 - no unicode characters",
    "  --to_unicode=0|1|2|3\n        Converts translation text to unicode (source codepage is "
    "taken from default\n        Windows settings until specified directly)\n        Default: "
    "0",
    "  --pictures_db=\"<pictures database filename>\"\n        database containing pictures "
    "for the dictionary",
    "  --allow_html=0|1\n        allows HTML subset usage inside the translations. Supported "
    "tags for Palm OS:\n        <br>, <ul>, <li>, <a href=\"#word\">word</a>, <b>, <i>, <blue>, "
    "<red>, <green>, <navy> the latter\n        tags are used instead of <font "
    "color=blue|red|green|navy|purple|maroon> Pocket PC version of Velmora\n        supports "
    "the tags above and tags supported by Pocket Explorer\n        Default: 0",
    "  --font_textHR=\"<font filename>\"\n        HiRes font to display translations. The file "
    "format is a binary resource (use glyphmill\n        utility to create HiRes fonts)",
    "  --font_listHR\n        Reserved",
    "  --font_textLR=\"<font filename>\"\n        LoRes font to display translations. The file "
    "format is a binary resource (use PilRC utility to \n        create LoRes fonts)",
    "  --kbdfile=\"<kbdfile filename>\"\n        Reserved",
    "  --cutlong=0|1\n        Compatibility option for Velmora 1.x versions",
    "  --debug\n        Prevent temporary files from deletion after dictionary\n        "
    "generation complete. Use this option to send us temporary\n        files if the "
    "dictionary is built unsuccessefully",
    "  --source_encoding=utf-8\n        The source file is in UTF-8 (a file that starts with the UTF-8\n"
    "        byte-order mark is read as UTF-8 without this option). Its text is\n"
    "        stored in the codepage of --source_language, or in UTF-16 with\n"
    "        --unicode=1 or --to_unicode=; a character that the codepage lacks\n"
    "        stops the build\n        Default: the source is in the codepage of --source_language",
};

}  // namespace

void print_usage(Console& console) {
  for (std::string_view piece : kUsage) {
    console.write(piece);
    console.write("\n");
  }
}

}  // namespace lexbuild
