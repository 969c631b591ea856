#include "lexdump/json_writer.h"

#include <cstdio>

namespace lexbuild::dump {

void JsonWriter::string(std::string_view text) {
  out_ += '"';
  for (unsigned char c : text) {
    switch (c) {
      case '"':
        out_ += "\\\"";
        break;
      case '\\':
        out_ += "\\\\";
        break;
      case '\n':
        out_ += "\\n";
        break;
      case '\t':
        out_ += "\\t";
        break;
      case '\r':
        out_ += "\\r";
        break;
      default:
        if (c < 0x20 || c >= 0x80) {
          // Bytes that may not be UTF-8 are written as their Latin-1 code points.
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04X", c);
          out_ += escape;
        } else {
          out_ += static_cast<char>(c);
        }
    }
  }
  out_ += '"';
}

}  // namespace lexbuild::dump
