// Feeds arbitrary bytes to what the serial layer makes of outside input: the
// WaitForText matcher (checked against a plain substring search) and the
// trace and log writers (checked for their line limits).

#include "serial/DispatchLog.h"
#include "serial/TextMatcher.h"
#include "serial/TraceBuffer.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

void check(bool ok) {
  if (!ok)
    __builtin_trap();
}

char fold(char c, bool ignoreCase) {
  const auto u = static_cast<unsigned char>(c);
  if (ignoreCase && ((u >= 'a' && u <= 'z') || (u >= 0xE0 && u <= 0xFE && u != 0xF7)))
    return static_cast<char>(u - 0x20);
  return c;
}

// The first position after which `text` has been seen in `input`, by search.
size_t firstMatchEnd(const std::string& text, const std::string& input, bool ignoreCase) {
  std::string t, in;
  for (char c : text)
    t.push_back(fold(c, ignoreCase));
  for (char c : input)
    in.push_back(fold(c, ignoreCase));
  const size_t at = in.find(t);
  return at == std::string::npos ? std::string::npos : at + t.size();
}

void checkMatcher(const std::string& text, const std::string& input, bool ignoreCase) {
  serial::TextMatcher m(text, ignoreCase);
  size_t end = std::string::npos;
  for (size_t i = 0; i < input.size(); ++i)
    if (m.feed(static_cast<uint8_t>(input[i]))) {
      end = i + 1;
      break;
    }
  check(text.empty() ? end == std::string::npos : end == firstMatchEnd(text, input, ignoreCase));
}

void checkLines(const std::string& out, size_t limit) {
  size_t start = 0;
  while (start < out.size()) {
    size_t nl = out.find('\n', start);
    check(nl != std::string::npos);
    check(nl - start <= limit);
    start = nl + 1;
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2)
    return 0;
  const bool hex = data[0] & 1, ignoreCase = data[0] & 2;
  const size_t textLen = std::min<size_t>(data[1] % 16, size - 2);
  const std::string text(reinterpret_cast<const char*>(data + 2), textLen);
  const std::string input(reinterpret_cast<const char*>(data + 2 + textLen), size - 2 - textLen);
  checkMatcher(text, input, ignoreCase);

  // Trace: directions from the low bits of each byte, a small ring so it wraps.
  serial::TraceBuffer trace(1 + (data[0] >> 2));
  for (unsigned char c : input)
    trace.add(c & 0x80 ? 'T' : (c & 0x40 ? 'R' : 'S'), c);
  checkLines(trace.text(hex), 78);

  // Log: records cut from the input.
  serial::DispatchLog log(64 + data[1] * 4);
  const auto* in = reinterpret_cast<const uint8_t*>(input.data());
  for (size_t i = 0; i + 2 <= input.size(); i += 2 + in[i + 1] % 32) {
    const size_t n = std::min<size_t>(in[i + 1] % 32, input.size() - i - 2);
    log.add(static_cast<uint8_t>(in[i] % 6), static_cast<uint8_t>(in[i] % 14),
            static_cast<uint32_t>(i), static_cast<uint16_t>(i * 31), in + i + 2, n);
  }
  checkLines(log.text(hex), 78);
  return 0;
}
