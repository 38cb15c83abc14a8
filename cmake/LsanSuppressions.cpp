// Linked into the programs of a sanitizer build: leaks that belong to system
// libraries, not to this program, are not reported. fontconfig keeps a few
// hundred bytes of its configuration for the life of the process (read the
// first time a font is looked up, by Qt or by poppler).
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
