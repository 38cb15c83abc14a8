// Feeds arbitrary DTE input to the Class 2 / 2.0 engine: command lines,
// page data with DLE framing, and coded page rows.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/class2/Class2Modem.h"
#include "sim/class2/DleStream.h"
#include "sim/class2/MhCodec.h"

using namespace tolvane::sim;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2)
    return 0;
  Class2Dialect dialect = data[0] & 1 ? Class2Dialect::Class20 : Class2Dialect::Class2;
  bool msbFirst = (data[0] & 2) != 0;
  const int widths[] = {1728, 2048, 2432};
  int width = widths[(data[0] >> 2) % 3];
  data += 1;
  size -= 1;

  mh::DecodeResult page = mh::decodePage(data, size, width, msbFirst);
  mh::BitWriter w(msbFirst);
  for (const auto& row : page.rows) {
    if (row.size() * 8 < static_cast<size_t>(width))
      __builtin_trap();
    mh::encodeRow(w, row, width);
  }

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
