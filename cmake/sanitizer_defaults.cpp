// Linked into every program of a sanitizer build (LEXBUILD_SANITIZE): a
// sanitizer report ends the program with status 86, never with the 1 or 2 of
// a fatal report, so that no test that expects a refusal can mistake a
// memory fault, a leak or undefined behaviour for one. The sanitizers share
// the exit status setting when linked together, so both give the same value.
// The environment's ASAN_OPTIONS and UBSAN_OPTIONS still override these.
extern "C" {

const char* __asan_default_options() { return "exitcode=86:detect_leaks=1"; }

const char* __ubsan_default_options() { return "exitcode=86:print_stacktrace=1"; }

}  // extern "C"
