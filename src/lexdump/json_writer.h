// A small writer of JSON text for lexdump's machine-readable output.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

namespace lexbuild::dump {

class JsonWriter {
 public:
  explicit JsonWriter(std::string& out) : out_(out) {}

  void begin_object() { open('{'); }
  void end_object() { close('}'); }
  void begin_array() { open('['); }
  void end_array() { close(']'); }
  void key(std::string_view name) {
    separate();
    string(name);
    out_ += ':';
    after_key_ = true;
  }
  void value(std::string_view text) {
    separate();
    string(text);
  }
  void value(const char* text) { value(std::string_view(text)); }
  void value(const std::string& text) { value(std::string_view(text)); }
  void value(bool b) {
    separate();
    out_ += b ? "true" : "false";
  }
  template <typename T>
  requires std::is_integral_v<T>
  void value(T number) {
    separate();
    out_ += std::to_string(number);
  }
  template <typename T>
  void field(std::string_view name, const T& v) {
    key(name);
    value(v);
  }

 private:
  void open(char c) {
    separate();
    out_ += c;
    first_ = true;
  }
  void close(char c) {
    out_ += c;
    first_ = false;
  }
  void separate() {
    if (after_key_) {
      after_key_ = false;
      return;
    }
    if (!first_) out_ += ',';
    first_ = false;
  }
  void string(std::string_view text);

  std::string& out_;
  bool first_ = true;
  bool after_key_ = false;
};

}  // namespace lexbuild::dump
