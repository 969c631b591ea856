// The post-build pass: writes the pictures database name, the HTML flag and
// high-resolution fonts into a finished database.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "driver/build_context.h"

namespace lexbuild {

/// Printed bare when a database cannot be opened for update.
inline constexpr std::string_view kDatabaseOpenFailure =
    "input file open failure. isn't it a ReadOnly file?";

/// Applies --pictures_db=, --allow_html=, --font_textHR= and --font_listHR=
/// from `args` (args[0] is the program's path) to the database at `database`.
/// With no arguments beyond the program's path the file is left alone;
/// otherwise its header record must carry a valid CRC. The new version is
/// written beside the database and renamed over it, so a failure leaves the
/// database as it was.
void apply_extras(const std::vector<std::string>& args, const std::string& database,
                  BuildContext& context);

}  // namespace lexbuild
