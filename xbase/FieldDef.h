#pragma once
// A field of a DBF table as the header stores it.

#include <string>

namespace xbase {

struct FieldDef {
  std::string name; // upper case, at most 10 characters
  char type = 'C';  // C, L, D, N or M
  int width = 1;
  int decimals = 0;
  int offset = 0; // byte offset in the record (after the deletion mark byte)
};

} // namespace xbase
