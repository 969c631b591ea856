#include "intake/chain.h"

#include "driver/report.h"
#include "intake/csv_reader.h"
#include "intake/empty_build.h"
#include "intake/locale_sort.h"
#include "intake/tab_splitter.h"
#include "intake/unicode_conversion.h"
#include "intake/utf8_source.h"

namespace lexbuild {

SourceLocale select_source_locale(BuildContext& context) {
  const Settings& settings = context.settings;
  const std::string& name = settings.source_language;
  SourceLocale locale = SourceLocale::select(name, settings.unicode != 0);
  context.lower_case = locale.lower_case();
  // A misspelt name would sort the list by the "C" rules without a word.
  if (locale.language() == SourceLocale::Language::kUnknown) {
    report_warning(context.console,
                   "the language '%s' is not known: the \"C\" rules sort the list; see "
                   "--help source_language for the names\n",
                   name.c_str());
  } else if (locale.language() == SourceLocale::Language::kWithoutCodePage &&
             settings.unicode == 0) {
    report_warning(context.console,
                   "%s has no 8-bit code page: the \"C\" rules and code page apply to this "
                   "8-bit list; give --unicode=1 with a UTF-16 list to sort it as %s\n",
                   name.c_str(), name.c_str());
  }
  return locale;
}

namespace {

// What the dictionary stores: UTF-16 with --unicode=1 or --to_unicode=.
ListTarget dictionary_target(const Settings& settings) {
  return settings.unicode != 0 ? ListTarget::kUtf16 : ListTarget::kCodePage;
}

// A source read in a code page, byte by byte: without --unicode=1, or
// converted by --to_unicode=.
bool read_in_code_page(const Settings& settings) {
  return settings.unicode == 0 || settings.to_unicode != 0;
}

}  // namespace

void read_csv_source(BuildContext& context, CurrentList& list, const SourceLocale& locale) {
  const Settings& settings = context.settings;
  if (!source_is_utf8(settings)) {
    if (read_in_code_page(settings)) warn_if_utf8(context, list.path());
    list.replace(csv_out(context));
    return;
  }
  const std::string source = source_name_for_messages(context);
  Utf8LineConverter directives(locale, ListTarget::kCodePage, source, settings.source_language,
                               /*directives=*/true);
  if (dictionary_target(settings) == ListTarget::kCodePage) {
    // Converted as the CSV reader reads it.
    Utf8LineConverter entries(locale, ListTarget::kCodePage, source, settings.source_language);
    list.replace(csv_out(context, &directives, &entries));
    return;
  }
  // The CSV reader reads bytes: it reads the UTF-8 itself (its syntax is
  // ASCII, which no multi-byte sequence contains), checked beforehand so that
  // refusals name the source's lines, and its list is converted after it.
  check_utf8_list(context, list, locale, ListTarget::kUtf16);
  list.replace(csv_out(context, &directives));
  utf8_in(context, list, locale, ListTarget::kUtf16);
}

void convert_and_sort(BuildContext& context, CurrentList& list, const SourceLocale& locale) {
  if (context.settings.to_unicode != 0 && !list.is_utf16()) dic_unicode(context, list, locale);
  context.console.print("%s\n", "Sorting...");
  if (sort_list(context, list.path(), locale, list.take_held()) == 0) {
    check_some_entry(context, list);
  }
  // The sorted list is a new file under the same name.
  if (list.is_stage_file()) context.files.renewed(list.path());
}

void prepare_tab_list(BuildContext& context, CurrentList& list) {
  const SourceLocale locale = select_source_locale(context);
  const Settings& settings = context.settings;
  // A UTF-8 source is converted as the splitter reads it, into the
  // dictionary's encoding.
  const bool utf8 = source_is_utf8(settings);
  if (!utf8 && read_in_code_page(settings)) warn_if_utf8(context, list.path());
  // Without cutting and without conversion no stage would copy the source,
  // and the sort rewrites its list in place: the checked lines then go to a
  // stage file of their own, so that the user's source is only ever read.
  const bool keep_copy = settings.cutlong == 0 && settings.to_unicode == 0 && !list.is_stage_file();
  list.allow_holding(true);  // the sort comes next
  csv_cut_out(context, list, keep_copy, utf8 ? &locale : nullptr);
  list.allow_holding(false);
  convert_and_sort(context, list, locale);
}

}  // namespace lexbuild
