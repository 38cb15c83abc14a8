// Reading fax pages with known text: pages per second on one core and the
// word accuracy against the source text, for the program's reader (APF file
// to text) and for the tesseract command on the same pages as PNG files
// (exported by tolvane-fax, standard pages with their rows doubled).
#include "../../tests/archive/OcrPages.h"
#include "../../tests/faxview/FaxFiles.h"

#include "archive/FaxText.h"
#include "archive/ocr/FaxOcr.h"
#include "archive/ocr/PageOcr.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Page {
  std::string Name;
  std::string Apf;
  std::string Png;
  std::string Reference;
};

// The drawn letter at 12 and 10 points and the ITU business letter, each at
// fine and standard resolution.
const std::vector<Page>& pages() {
  static const std::vector<Page> all = [] {
    std::vector<Page> made;
    const std::string letter = archivetest::TestText("letter.txt");
    const std::string itu = archivetest::TestText("itu1.txt");
    const std::vector<std::tuple<std::string, faximage::PageBitmap, std::string>> sources = {
        {"letter12", archivetest::DrawTextPage(letter, 12), letter},
        {"letter10", archivetest::DrawTextPage(letter, 10), letter},
        {"itu1", faxtest::loadChart(1), itu},
    };
    for (const auto& [name, fine, reference] : sources)
      for (const bool standard : {false, true}) {
        Page p;
        p.Name = name + (standard ? "-standard" : "-fine");
        p.Apf = faxtest::scratch(p.Name + ".apf");
        p.Png = faxtest::scratch(p.Name + ".png");
        p.Reference = reference;
        faxtest::writeApf(p.Apf, {standard ? archivetest::StandardRows(fine) : fine}, !standard);
        faxtest::capture(std::string(TOLVANE_FAX_TOOL) + " export '" + p.Apf + "' '" + p.Png +
                         "' --format png");
        made.push_back(p);
      }
    return made;
  }();
  return all;
}

// CPU seconds used so far by this process's threads, or by its finished
// children: under a loaded machine the pages per CPU second are what one
// core would do.
double cpuSeconds(int who) {
  rusage use{};
  getrusage(who, &use);
  return double(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
         1e-6 * double(use.ru_utime.tv_usec + use.ru_stime.tv_usec);
}

void reportSpeed(benchmark::State& state, double cpu) {
  const double pagesRead = double(pages().size()) * double(state.iterations());
  state.counters["pages_per_s"] = benchmark::Counter(pagesRead, benchmark::Counter::kIsRate);
  state.counters["pages_per_cpu_s"] = pagesRead / cpu;
}

void reportAccuracy(benchmark::State& state, const std::vector<std::string>& texts) {
  double worst = 1.0, sum = 0.0;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    const double a = archivetest::WordAccuracy(pages()[i].Reference, texts[i]);
    state.counters["acc_" + pages()[i].Name] = 100.0 * a;
    worst = std::min(worst, a);
    sum += a;
  }
  state.counters["acc_mean"] = 100.0 * sum / double(texts.size());
  state.counters["acc_worst"] = 100.0 * worst;
}

void BM_OcrApfPages(benchmark::State& state) {
  archive::PageOcr ocr("eng");
  std::vector<std::string> texts;
  pages(); // drawn and written before the clocks start
  const double cpu = cpuSeconds(RUSAGE_SELF);
  for (auto _ : state) {
    texts.clear();
    for (const Page& p : pages())
      texts.push_back(archive::ReadFaxText(ocr, p.Apf).Pages.at(0));
  }
  reportSpeed(state, cpuSeconds(RUSAGE_SELF) - cpu);
  reportAccuracy(state, texts);
}
BENCHMARK(BM_OcrApfPages)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(2);

void BM_TesseractCommandPng(benchmark::State& state) {
  if (std::system("command -v tesseract >/dev/null") != 0) {
    state.SkipWithError("the tesseract command is not installed");
    return;
  }
  std::vector<std::string> texts;
  pages();
  const double cpu = cpuSeconds(RUSAGE_CHILDREN);
  for (auto _ : state) {
    texts.clear();
    for (const Page& p : pages()) {
      int status = 0;
      texts.push_back(faxtest::capture("OMP_THREAD_LIMIT=1 tesseract '" + p.Png +
                                           "' - -l eng 2>/dev/null",
                                       &status));
      if (status != 0)
        state.SkipWithError("tesseract failed");
    }
  }
  reportSpeed(state, cpuSeconds(RUSAGE_CHILDREN) - cpu);
  reportAccuracy(state, texts);
}
BENCHMARK(BM_TesseractCommandPng)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(2);

} // namespace
