#pragma once
// Test fax files: APF files made from page bitmaps with the program's own
// encoder, pages that tell each other apart, scratch paths and tools.

#include "faximage/PageBitmap.h"

#include <string>
#include <vector>

namespace faxtest {

// A scratch folder of this test program; a path inside it.
std::string scratch(const std::string& name);

// Writes the pages (1 = black) as an APF file; fine or standard resolution.
void writeApf(const std::string& path, const std::vector<faximage::PageBitmap>& pages,
              bool fine = true);

// A width x height page with a black frame, a black block whose place tells
// the page number (n from 1) and a one-pixel diagonal line.
faximage::PageBitmap numberedPage(int n, int width = 1728, int height = 2200);

// Where numberedPage puts page n's block (x, y, size).
struct Block {
  int x, y, size;
};
Block blockOf(int n);

// A file of `count` numbered pages.
std::string numberedFax(const std::string& name, int count, bool fine = true, int height = 2200);

// Runs a shell command and returns what it printed; exit status through *status.
std::string capture(const std::string& command, int* status = nullptr);

// One of the ITU test charts from the test data (binary PBM, gzip-compressed).
faximage::PageBitmap loadChart(int number);

} // namespace faxtest
