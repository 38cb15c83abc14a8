// Word accuracy of the page reader on faxes that went through a call, the
// way received faxes reach it: the ITU business letter (chart 1, English),
// the ITU dense text page (chart 4, French) and a letter drawn from RTF as
// the program draws faxes, each at fine and at standard resolution. The
// simulator's remote fax machine (spandsp) calls a simulated Class 1 modem
// and sends the pages as TIFF; `tolvane-fax receive` answers and stores
// them as an APF file, which is read page by page like any received fax;
// the pages as sent are read as well, for what the call costs.
// The other ITU charts are drawings, a form, Kanji and handwriting: no
// printed Latin text to measure.
#include "../../tests/archive/OcrPages.h"
#include "../../tests/faxengine/FaxSimHarness.h"
#include "../../tests/faxview/FaxFiles.h"

#include "archive/FaxText.h"
#include "archive/ocr/PageOcr.h"
#include "faxexport/FaxExport.h"
#include "faximage/ApfFile.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <filesystem>
#include <map>
#include <memory>

namespace fs = std::filesystem;

namespace {

struct Source {
  std::string Name;
  std::string Language;
  std::string Reference;
  faximage::PageBitmap Fine;
};

const std::vector<Source>& sources() {
  static const std::vector<Source> all = {
      {"itu1", "eng", archivetest::TestText("itu1.txt"), faxtest::loadChart(1)},
      {"itu4", "fra", archivetest::TestText("itu4.txt"), faxtest::loadChart(4)},
      {"letter12", "eng", archivetest::TestText("letter.txt"),
       archivetest::DrawTextPage(archivetest::TestText("letter.txt"), 12)},
  };
  return all;
}

// One call: the resolution of its pages, and the bit errors of the line
// (the modem inverts bits of the page data at this rate; no error
// correction is offered, so they reach the page as a real line's would).
struct Call {
  bool Fine;
  std::string BitErrors; // "" for a clean line
  std::string Name() const {
    return std::string(Fine ? "fine" : "standard") + (BitErrors.empty() ? "" : "_noisy");
  }
};
const std::vector<Call> kCalls = {{true, ""}, {false, ""}, {true, "1e-5"}, {false, "1e-5"}};

// The pages of every source through one call; the received APF file, or ""
// when the call failed (the reason in `problem`).
std::string receivedThroughCall(const Call& call, std::string& problem) {
  const bool fine = call.Fine;
  const std::string stem = "call-" + call.Name();
  std::vector<faximage::PageBitmap> pages;
  for (const Source& s : sources())
    pages.push_back(fine ? s.Fine : archivetest::StandardRows(s.Fine));
  const std::string apf = faxtest::scratch(stem + ".apf");
  const std::string tiff = faxtest::scratch(stem + ".tif");
  faxtest::writeApf(apf, pages, fine);
  faxtest::capture(std::string(TOLVANE_FAX_TOOL) + " export '" + apf + "' '" + tiff +
                   "' --format tiff");
  const std::string errors =
      call.BitErrors.empty() ? std::string() : " bit-errors=" + call.BitErrors + " seed=7";
  faxtest::SimModem sim(
      "class1" + errors,
      {"--number", "5550105 fax ident=ITU-CHARTS file=" + tiff, "--call", "5550105 com1 at=2"}, 4);
  if (!sim.Started()) {
    problem = "the simulator did not start";
    return {};
  }
  const std::string folder = faxtest::scratch(stem + "-rx");
  fs::create_directories(folder);
  int status = 0;
  const std::string log =
      faxtest::capture(std::string(TOLVANE_FAX_TOOL) + " receive '" + sim.Link() + "' '" + folder +
                           "' --one --class 1 --timeout 300",
                       &status);
  for (const auto& entry : fs::directory_iterator(folder))
    return entry.path().string();
  problem = "nothing received: " + log + sim.Log();
  return {};
}

struct Received {
  std::string Path;
  std::string Sent; // the pages as they were before the call
  Call Via;
};

const std::vector<Received>& received(std::string& problem) {
  static std::string failure;
  static const std::vector<Received> files = [] {
    std::vector<Received> made;
    for (const Call& call : kCalls)
      if (std::string path = receivedThroughCall(call, failure); !path.empty())
        made.push_back({path, faxtest::scratch("call-" + call.Name() + ".apf"), call});
    return made;
  }();
  problem = failure;
  return files;
}

double cpuSeconds() {
  rusage use{};
  getrusage(RUSAGE_SELF, &use);
  return double(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
         1e-6 * double(use.ru_utime.tv_usec + use.ru_stime.tv_usec);
}

void BM_OcrAfterCall(benchmark::State& state) {
  std::string problem;
  const std::vector<Received>& files = received(problem);
  if (files.size() != kCalls.size()) {
    state.SkipWithError(problem.c_str());
    return;
  }
  std::map<std::string, std::unique_ptr<archive::PageOcr>> readers;
  for (const Source& s : sources())
    if (!readers.count(s.Language))
      readers[s.Language] = std::make_unique<archive::PageOcr>(s.Language);
  std::map<std::string, double> accuracy;
  int pagesRead = 0;
  const double cpu = cpuSeconds();
  for (auto _ : state) {
    for (const Received& file : files) {
      faximage::ApfFileHeader header;
      if (faximage::readApfFileHeader(file.Path, header) != 0 ||
          header.pageCount != sources().size()) {
        state.SkipWithError("the received file does not hold every page");
        return;
      }
      for (int n = 1; n <= header.pageCount; ++n) {
        const Source& source = sources()[std::size_t(n - 1)];
        const std::string name = source.Name + "_" + file.Via.Name();
        auto read = [&](const std::string& path) {
          const faxexport::ExportPage page = faxexport::DecodeFaxPage(path, n, true);
          ++pagesRead;
          return archivetest::WordAccuracy(
              source.Reference, readers[source.Language]->Read(page.bitmap, page.xDpi, page.yDpi));
        };
        accuracy[name] = read(file.Path);
        // The same page before the call: what the call itself costs.
        if (file.Via.BitErrors.empty())
          accuracy[name + "_sent"] = read(file.Sent);
      }
    }
  }
  state.counters["pages_per_cpu_s"] = pagesRead / (cpuSeconds() - cpu);
  for (const auto& [name, a] : accuracy)
    state.counters["acc_" + name] = 100.0 * a;
}
BENCHMARK(BM_OcrAfterCall)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

} // namespace
