// Building the fax file of a stored fax (a cover and a document of N pages)
// against LibreOffice turning the same text, as one RTF file, into PDF.
// Counters: pages per second, and the peak memory the work added (for us the
// process's peak resident size over the run, reset before it; for
// LibreOffice its largest child process).
#include "core/FaxTables.h"
#include "compose/FaxFileCreation.h"
#include "faximage/FaxConverter.h"
#include "platform/ProgramDir.h"
#include "platform/qt/QtMainThreadDispatcher.h"
#include "richtext/RichEditor.h"
#include "xbase/Table.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <benchmark/benchmark.h>
#include <cstring>
#include <fstream>
#include <sys/resource.h>

namespace {

// Enough text for `pages` pages of 12 point text: 52 lines a page.
QString documentText(int pages) {
  QStringList lines;
  for (int i = 1; i <= pages * 52; ++i)
    lines << QStringLiteral("Line %1: the quarterly figures are attached, totals up on last year.")
                 .arg(i);
  return lines.join('\n');
}

std::string rtfOf(const QString& text, bool coverFirst) {
  richtext::TRichEditor ed;
  ed.document()->setDefaultFont(QFont(QStringLiteral("DejaVu Sans"), 12));
  const QString cover = QStringLiteral("FAX COVER SHEET\nTo: Alice Example\nPages: many\n");
  QTextCursor(ed.document()).insertText(coverFirst ? cover + text : text);
  if (coverFirst) {
    // The document starts on a page of its own, after the cover.
    QTextCursor c(ed.document()->findBlockByNumber(3));
    QTextBlockFormat f = c.blockFormat();
    f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    c.setBlockFormat(f);
  }
  return ed.SaveToRtf();
}

long statusKb(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(key, 0) == 0)
      return std::stol(line.substr(std::strlen(key)));
  return 0;
}

// CPU seconds used so far by this process or by its finished children. On a
// machine shared with other work the wall clock mostly measures the others;
// the CPU time is what the conversion itself cost.
double cpuSeconds(int who) {
  rusage u{};
  getrusage(who, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Resets the process's peak resident size to its current size.
void resetPeak() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

struct Workspace {
  QTemporaryDir dir;
  xbase::Table sent;
  explicit Workspace(int pages) {
    platform::setProgramDir(dir.path().toStdString());
    app::OpenFaxDBF(sent);
    sent.append();
    sent.setMemo("RTFCOVER", rtfOf(QStringLiteral("FAX COVER SHEET\nTo: Alice Example"), false));
    sent.setMemo("RTFDOC", rtfOf(documentText(pages), false));
    sent.post();
    std::ofstream(dir.filePath("same.rtf").toStdString()) << rtfOf(documentText(pages), true);
  }
  ~Workspace() {
    sent.close();
    platform::setProgramDir("");
  }
};

void BM_CreateFaxFile(benchmark::State& state) {
  Workspace ws(int(state.range(0)));
  richtext::TRichEditor cover, doc;
  faximage::TFxFaxConverter converter;
  int pages = 0;
  long peakKb = 0;
  const double cpu0 = cpuSeconds(RUSAGE_SELF);
  for (auto _ : state) {
    state.PauseTiming();
    resetPeak();
    const long baseKb = statusKb("VmRSS:");
    state.ResumeTiming();
    const QString name = compose::CreateFaxFile({ws.sent, cover, doc, converter}, pages);
    state.PauseTiming();
    peakKb = std::max(peakKb, statusKb("VmHWM:") - baseKb);
    if (name.isEmpty() || !QFile::remove(name)) {
      state.SkipWithError("no fax file");
      return;
    }
    state.ResumeTiming();
  }
  state.counters["pages"] = pages;
  state.counters["pages_per_s"] =
      benchmark::Counter(double(pages) * double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["peak_added_MB"] = double(peakKb) / 1024.0;
  state.counters["cpu_pages_per_s"] =
      double(pages) * double(state.iterations()) / (cpuSeconds(RUSAGE_SELF) - cpu0);
  state.counters["page_bitmap_MB"] = 1664.0 * 2156 / 8 / 1024 / 1024;
}
BENCHMARK(BM_CreateFaxFile)->Arg(10)->Arg(40)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LibreOfficeRtfToPdf(benchmark::State& state) {
  const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
  if (soffice.isEmpty()) {
    state.SkipWithError("LibreOffice is not installed");
    return;
  }
  Workspace ws(int(state.range(0)));
  const QString rtf = ws.dir.filePath(QStringLiteral("same.rtf"));
  const QString pdf = ws.dir.filePath(QStringLiteral("same.pdf"));
  const QString profile = QStringLiteral("-env:UserInstallation=file://" TOLVANE_BINARY_DIR
                                         "/compose-bench-lo-profile");
  int pages = 0;
  const double cpu0 = cpuSeconds(RUSAGE_CHILDREN);
  for (auto _ : state) {
    state.PauseTiming();
    QFile::remove(pdf); // a conversion that writes nothing must not count
    state.ResumeTiming();
    QProcess p;
    p.start(soffice,
            {profile, "--headless", "--convert-to", "pdf", rtf, "--outdir", ws.dir.path()});
    if (!p.waitForFinished(180000) || !QFile::exists(pdf)) {
      state.SkipWithError("conversion failed");
      return;
    }
    state.PauseTiming();
    QFile f(pdf);
    f.open(QIODevice::ReadOnly);
    pages = int(QString::fromLatin1(f.readAll())
                    .count(QRegularExpression(QStringLiteral("/Type\\s*/Page[^s]"))));
    state.ResumeTiming();
  }
  rusage children{};
  getrusage(RUSAGE_CHILDREN, &children);
  state.counters["pages"] = pages;
  state.counters["pages_per_s"] =
      benchmark::Counter(double(pages) * double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["peak_child_MB"] = double(children.ru_maxrss) / 1024.0;
  state.counters["cpu_pages_per_s"] =
      double(pages) * double(state.iterations()) / (cpuSeconds(RUSAGE_CHILDREN) - cpu0);
}
BENCHMARK(BM_LibreOfficeRtfToPdf)
    ->Arg(10)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

} // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  platform::installQtPlatform();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  platform::uninstallQtPlatform();
  return 0;
}
