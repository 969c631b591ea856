// Pieces the intake chains share: the locale selection and the stages that
// end every chain.
#pragma once

#include "driver/build_context.h"
#include "intake/current_list.h"
#include "intake/source_locale.h"

namespace lexbuild {

/// Selects the locale of settings.source_language for the rest of the build
/// and installs its one-byte lower-case mapping for the compiler.
SourceLocale select_source_locale(BuildContext& context);

/// The CSV chain's first stages: the CSV reader on the source, which becomes
/// the current list. A UTF-8 source is converted first (an 8-bit
/// dictionary), or checked, read with its directives put into the code page
/// and then converted to UTF-16 (a UTF-16 one). A source read in a code page
/// that looks like UTF-8 draws a warning.
void read_csv_source(BuildContext& context, CurrentList& list, const SourceLocale& locale);

/// The stages that end every chain: the Unicode conversion when
/// settings.to_unicode is not 0, then "Sorting..." and the sort. The current
/// list is then the intermediate list.
void convert_and_sort(BuildContext& context, CurrentList& list, const SourceLocale& locale);

/// The TAB chain up to the intermediate list (splitter, conversion, sort),
/// starting from the user's source; `list` then names the intermediate list.
void prepare_tab_list(BuildContext& context, CurrentList& list);

}  // namespace lexbuild
