// Opening a ten-page fine-resolution fax in the viewer control and showing
// page 1, and turning to each next page (decode, picture for the screen,
// paint), at 100 % and at the 50 % the viewer window picks for a 594-pixel
// control; against ImageMagick converting the same page from a G3 TIFF to a
// PNG. Memory: the page bitmaps held and the resident size must not grow
// with the pages seen.
#include "../../tests/faxview/FaxFiles.h"
#include "faxview/PageTransforms.h"
#include "faxview/TFxFaxViewer.h"
#include "faxexport/FaxExport.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWindow>
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace {

using faxview::TFxFaxViewer;

const std::string& tenPageFax() {
  static const std::string path = [] {
    std::vector<faximage::PageBitmap> pages;
    for (int i = 0; i < 10; ++i)
      pages.push_back(faxtest::loadChart(1 + i % 8));
    const std::string apf = faxtest::scratch("ten-fine.apf");
    faxtest::writeApf(apf, pages, true);
    faxexport::ExportFax(apf, 1, 10, faxtest::scratch("ten-fine.tif"),
                         faxexport::ExportFormat::Tiff);
    return apf;
  }();
  return path;
}

double childCpuMs() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

long residentKb() {
  long pages = 0, resident = 0;
  std::ifstream("/proc/self/statm") >> pages >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

std::unique_ptr<TFxFaxViewer> makeViewer() {
  auto viewer = std::make_unique<TFxFaxViewer>();
  viewer->resize(594, 290);
  viewer->show();
  // Painting happens only once the window is on the screen.
  for (int i = 0; i < 1000 && !(viewer->windowHandle() && viewer->windowHandle()->isExposed()); ++i)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return viewer;
}

// Opening a file resets the scale; the viewer window then zooms, as here.
void zoomTo(TFxFaxViewer& viewer, int zoom) {
  if (zoom == 100)
    return;
  viewer.LockUpdates();
  viewer.SetScaling(true);
  viewer.SetHorizMult(unsigned(zoom));
  viewer.SetHorizDiv(100);
  viewer.SetVertMult(unsigned(zoom));
  viewer.SetVertDiv(100);
  viewer.UnlockUpdates();
}

void BM_ViewerOpenPage1(benchmark::State& state) {
  const QString fax = QString::fromStdString(tenPageFax());
  auto viewer = makeViewer();
  for (auto _ : state) {
    viewer->SetFileName(fax);
    zoomTo(*viewer, int(state.range(0)));
    viewer->viewport()->repaint();
    state.PauseTiming();
    viewer->SetFileName(QString());
    state.ResumeTiming();
  }
  state.SetLabel("zoom " + std::to_string(state.range(0)) + "%");
}
BENCHMARK(BM_ViewerOpenPage1)->Arg(100)->Arg(50)->Unit(benchmark::kMillisecond);

void BM_ViewerNextPage(benchmark::State& state) {
  auto viewer = makeViewer();
  viewer->SetFileName(QString::fromStdString(tenPageFax()));
  zoomTo(*viewer, int(state.range(0)));
  if (viewer->Engine().DisplayedSize().width() != 1728 * state.range(0) / 100)
    state.SkipWithError("zoom not applied");
  const long before = residentKb();
  long peakGrowth = 0;
  int held = 0;
  for (auto _ : state) {
    if (viewer->ShownPage() == 10)
      viewer->ShowFirstPage();
    else
      viewer->ShowNextPage();
    viewer->viewport()->repaint();
    held = std::max(held, viewer->Engine().PagesHeld());
    peakGrowth = std::max(peakGrowth, residentKb() - before);
  }
  state.counters["pages_held"] = held;
  state.counters["rss_growth_kb"] = double(peakGrowth);
  state.SetLabel("zoom " + std::to_string(state.range(0)) + "%");
}
BENCHMARK(BM_ViewerNextPage)->Arg(100)->Arg(50)->Unit(benchmark::kMillisecond);

// Scrolling a line down and painting what shows, at each zoom step.
void BM_ViewerScrollLine(benchmark::State& state) {
  auto viewer = makeViewer();
  viewer->SetFileName(QString::fromStdString(tenPageFax()));
  zoomTo(*viewer, int(state.range(0)));
  int line = 0, deepest = 0;
  for (auto _ : state) {
    QKeyEvent key(QEvent::KeyPress, ++line % 100 == 0 ? Qt::Key_PageUp : Qt::Key_Down,
                  line % 100 == 0 ? Qt::ControlModifier : Qt::NoModifier);
    QApplication::sendEvent(viewer.get(), &key);
    viewer->viewport()->repaint();
    deepest = std::max(deepest, viewer->Engine().ScrollPos().y());
  }
  state.counters["deepest"] = deepest;
  state.SetLabel("zoom " + std::to_string(state.range(0)) + "%");
}
BENCHMARK(BM_ViewerScrollLine)->Arg(25)->Arg(50)->Arg(100)->Arg(200)->Unit(benchmark::kMicrosecond);

// Painting the whole window again (uncovered by another window, say).
void BM_ViewerFullRepaint(benchmark::State& state) {
  auto viewer = makeViewer();
  viewer->SetFileName(QString::fromStdString(tenPageFax()));
  zoomTo(*viewer, int(state.range(0)));
  for (auto _ : state) {
    viewer->viewport()->update();
    viewer->viewport()->repaint();
  }
  state.SetLabel("zoom " + std::to_string(state.range(0)) + "%");
}
BENCHMARK(BM_ViewerFullRepaint)
    ->Arg(25)
    ->Arg(50)
    ->Arg(100)
    ->Arg(200)
    ->Unit(benchmark::kMicrosecond);

// The part of a page change that makes the gray picture of a shrunken page.
void BM_GrayPictureOfFinePage(benchmark::State& state) {
  const faximage::PageBitmap page = faxtest::loadChart(1);
  const int w = page.width() / 2, h = page.height() / 2;
  std::vector<uint8_t> out(std::size_t(w) * h);
  for (auto _ : state)
    faxview::ScaleToCoverage(page, w, h, out.data(), w);
}
BENCHMARK(BM_GrayPictureOfFinePage)->Unit(benchmark::kMillisecond);

// The peer: one page of the G3 TIFF to PNG, the way a user would look at a
// fax without this program.
void BM_ImageMagickPageToPng(benchmark::State& state) {
  tenPageFax();
  const std::string tif = faxtest::scratch("ten-fine.tif");
  const std::string png = faxtest::scratch("im-page.png");
  int page = 0;
  const double childBefore = childCpuMs();
  for (auto _ : state) {
    const std::string cmd = "convert '" + tif + "[" + std::to_string(page) + "]' '" + png + "'";
    if (std::system(cmd.c_str()) != 0)
      state.SkipWithError("ImageMagick convert failed");
    page = (page + 1) % 10;
  }
  // The converter's own processor time (the CPU column counts this process only).
  state.counters["convert_cpu_ms"] =
      benchmark::Counter((childCpuMs() - childBefore) / double(state.iterations()));
}
BENCHMARK(BM_ImageMagickPageToPng)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM",
          qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
