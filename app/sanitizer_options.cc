// Built into the sanitizer build of photocheck only. The end-to-end tests run
// that executable and compare its exit status; most expected statuses are 1,
// which is also what a sanitizer exits with by default. Aborting instead makes
// any leak or undefined behaviour in a run show as a killed process, which no
// test expects.
extern "C" const char* __asan_default_options() { return "detect_leaks=1:abort_on_error=1"; }

extern "C" const char* __ubsan_default_options() {
  return "print_stacktrace=1:abort_on_error=1:halt_on_error=1";
}
