// The post-build pass: patches options into a finished database.
#pragma once

#include <string>
#include <vector>

#include "driver/build_context.h"

namespace lexbuild {

/// Applies --pictures_db=, --allow_html=, --font_textHR= and --font_listHR=
/// from `args` to the database at `database`.
void apply_extras(const std::vector<std::string>& args, const std::string& database,
                  BuildContext& context);

}  // namespace lexbuild
