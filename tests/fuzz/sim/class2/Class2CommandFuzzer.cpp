// Feeds arbitrary DTE input to the Class 2 / 2.0 engine: command lines,
// page data with DLE framing, and the fill-point scan of coded rows.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/class2/Class2Modem.h"
#include "sim/class2/DleStream.h"
#include "sim/class2/FillPoints.h"

using namespace tolvane::sim;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2)
    return 0;
  Class2Dialect dialect = data[0] & 1 ? Class2Dialect::Class20 : Class2Dialect::Class2;
  data += 1;
  size -= 1;

  FillPoints points;
  points.feed(data, size / 2);
  size_t first = points.latest();
  points.feed(data + size / 2, size - size / 2);
  if (points.latest() < first || points.latest() > size)
    __builtin_trap();

  std::vector<uint8_t> out;
  DleDecoder dle(dialect == Class2Dialect::Class20);
  size_t used = dle.feed(data, size, out);
  if (used > size || out.size() > 2 * size)
    __builtin_trap();

  size_t dteBytes = 0;
  Class2Modem::Host host{[&](const uint8_t*, size_t n) { dteBytes += n; }, [](std::string_view) {},
                         [] {}, [] {}};
  Class2Modem modem(dialect, {}, host);
  std::string line;
  for (size_t i = 0; i < size; ++i) {
    if (modem.inDataMode()) {
      modem.dteData(data + i, 1);
      continue;
    }
    if (data[i] != '\r') {
      line += static_cast<char>(data[i]);
      continue;
    }
    modem.command(line);
    line.clear();
  }
  modem.command(line);
  return 0;
}
