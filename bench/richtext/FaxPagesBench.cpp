// Loading a 20-page RTF document and drawing all its fax pages, against
// LibreOffice turning the same file into PDF.
#include "richtext/RichEditor.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <benchmark/benchmark.h>

namespace {

const QString kDocument = QStringLiteral(TOLVANE_TEST_DATA "/richtext/twenty-pages.rtf");

void BM_LoadAndDrawFaxPages(benchmark::State& state) {
  faximage::PageBitmap page = richtext::newFaxPage();
  int pages = 0;
  for (auto _ : state) {
    richtext::TRichEditor editor;
    if (!editor.LoadFromFile(kDocument)) {
      state.SkipWithError("document missing");
      return;
    }
    pages = 0;
    int pos = 0;
    do {
      pos = editor.DrawFaxPage(pos, page);
      ++pages;
    } while (pos > 0);
    benchmark::DoNotOptimize(page.bits().data());
  }
  state.counters["pages"] = pages;
  state.counters["pages_per_s"] =
      benchmark::Counter(double(pages) * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LoadAndDrawFaxPages)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LibreOfficeRtfToPdf(benchmark::State& state) {
  const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
  if (soffice.isEmpty()) {
    state.SkipWithError("LibreOffice is not installed");
    return;
  }
  const QString out = QStringLiteral(TOLVANE_BINARY_DIR "/richtext-bench");
  QDir().mkpath(out);
  const QString profile =
      QStringLiteral("-env:UserInstallation=file://" TOLVANE_BINARY_DIR "/richtext-lo-profile");
  const QString pdf = out + QStringLiteral("/twenty-pages.pdf");
  for (auto _ : state) {
    // The PDF of the last run must not pass for this run's.
    state.PauseTiming();
    QFile::remove(pdf);
    state.ResumeTiming();
    QProcess p;
    p.start(soffice, {profile, "--headless", "--convert-to", "pdf", kDocument, "--outdir", out});
    if (!p.waitForFinished(120000) || !QFile::exists(pdf)) {
      state.SkipWithError("conversion failed");
      return;
    }
  }
  state.counters["pages_per_s"] =
      benchmark::Counter(20.0 * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LibreOfficeRtfToPdf)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
