#include "core/SentFaxKey.h"

#include "xbase/Table.h"

#include <cstdint>
#include <cstdio>

namespace app {

std::string SentFaxKey(const xbase::Table& sent) {
  // FNV-1a: stable across builds and machines, unlike std::hash, as the key
  // names files and index entries that outlive the program.
  uint64_t hash = 14695981039346656037ull;
  auto add = [&hash](const std::string& bytes) {
    for (const char c : bytes) {
      hash ^= uint8_t(c);
      hash *= 1099511628211ull;
    }
    hash ^= 0xff; // a field's end, so that moving bytes between fields changes the key
    hash *= 1099511628211ull;
  };
  for (const char* field : {"SUBJECT", "RECIPIENT", "PHONE"})
    add(sent.fieldString(field));
  for (const char* field : {"RTFCOVER", "RTFDOC"})
    add(sent.memo(field));
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}

} // namespace app
