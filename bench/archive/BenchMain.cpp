// The drawn pages need a QApplication; the OCR engine one core.
#include "archive/ocr/FaxOcr.h"
#include "archive/ocr/PageOcr.h"

#include <QApplication>
#include <benchmark/benchmark.h>

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  archive::UseOneCore();
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
