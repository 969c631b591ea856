// Names of the languages that the locale services know, for the language list.
#pragma once

#include <string>
#include <vector>

namespace lexbuild::platform {

/// The English names of the languages of all locales the locale services
/// provide, in no particular order and possibly with repeats.
std::vector<std::string> installed_language_names();

}  // namespace lexbuild::platform
