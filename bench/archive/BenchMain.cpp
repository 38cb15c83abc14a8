// The drawn pages need a QApplication; the OCR engine one core, as in the
// program's background reader (the tesseract command is run with
// OMP_THREAD_LIMIT=1 for the same).
#include "archive/ocr/PageOcr.h"

#include <QApplication>
#include <benchmark/benchmark.h>

int main(int argc, char** argv) {
  archive::UseOneCore();
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
