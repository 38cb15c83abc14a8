// A ten-page PDF printed with `lp` to a private print server's fax queue,
// timed until the running main window lists it as a new fax (offscreen),
// against the document import of the same PDF into the rich-text document
// (what dropping the file onto the window does before the editor opens).
// The print side adds the print server, the backend's copy and check of the
// PDF, the inbox watch and the table write.

#include "tests/printinbox/PrintServer.h"

#include "app/TMainScreen.h"
#include "send/TSendFaxForm.h"
#include "core/Settings.h"
#include "docimport/qt/PagePictures.h"
#include "platform/ProgramDir.h"
#include "platform/qt/QtMainThreadDispatcher.h"
#include "richtext/RichEditor.h"
#include "widgets/MessageBoxes.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QTableView>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

const std::string kPdf = TOLVANE_TEST_DATA "/printinbox/ten-pages.pdf";

struct Desk {
  std::string root;
  std::unique_ptr<printtest::PrintServer> server;
  std::unique_ptr<TMainScreen> window;
  QTimer closer;

  Desk() {
    char name[] = "/tmp/tolvane-printbench-XXXXXX";
    root = ::mkdtemp(name);
    const std::string home = root + "/home";
    fs::create_directories(home + "/.local/share/tolvane");
    fs::create_directories(root + "/cups");
    platform::setProgramDir(home + "/.local/share/tolvane/");
    app::Settings = app::TSettings{};
    app::Settings.ComPort = 0;
    app::SaveSettings();
    server = std::make_unique<printtest::PrintServer>(root + "/cups", home);
    window = std::make_unique<TMainScreen>();
    window->show();
    // The send dialog each printed fax opens is closed at once.
    QObject::connect(&closer, &QTimer::timeout, [] {
      if (auto* f = qobject_cast<TSendFaxForm*>(QApplication::activeModalWidget()))
        if (f->isVisible() && !f->Busy())
          f->CloseButtonClick();
    });
    closer.start(10);
  }
  ~Desk() {
    window->close();
    window.reset();
    server.reset();
    std::error_code ec;
    fs::remove_all(root, ec);
  }
};

std::unique_ptr<Desk> g_desk;

Desk& desk() {
  if (!g_desk)
    g_desk = std::make_unique<Desk>();
  return *g_desk;
}

void BM_PrintedUntilListed(benchmark::State& state) {
  Desk& d = desk();
  if (!d.server->Ready()) {
    state.SkipWithError(d.server->Problem().c_str());
    return;
  }
  QAbstractItemModel* model = d.window->findChild<QTableView*>("FaxGrid")->model();
  for (auto _ : state) {
    const int before = model->rowCount();
    bool listed = false;
    auto listedAt = std::chrono::steady_clock::now();
    // The moment the list shows the new row (the send dialog comes after).
    const auto watch = QObject::connect(model, &QAbstractItemModel::modelReset, [&] {
      if (!listed && model->rowCount() == before + 1) {
        listed = true;
        listedAt = std::chrono::steady_clock::now();
      }
    });
    const auto start = std::chrono::steady_clock::now();
    if (d.server->Print(kPdf, {"phone=5550100"}, "Benchmark") <= 0) {
      state.SkipWithError("lp failed");
      break;
    }
    while (!listed && std::chrono::steady_clock::now() - start < std::chrono::seconds(120))
      QApplication::processEvents(QEventLoop::AllEvents, 5);
    QObject::disconnect(watch);
    if (!listed) {
      state.SkipWithError("the printed fax was not listed");
      break;
    }
    state.SetIterationTime(std::chrono::duration<double>(listedAt - start).count());
    while (QApplication::activeModalWidget())
      QApplication::processEvents(QEventLoop::AllEvents, 5);
  }
}
BENCHMARK(BM_PrintedUntilListed)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_DirectImport(benchmark::State& state) {
  desk(); // the same program state as the print side
  for (auto _ : state) {
    richtext::TRichEditor editor;
    QString error;
    const int pages = docimport::InsertPagesFromFile(editor, QString::fromStdString(kPdf), &error);
    if (pages != 10) {
      state.SkipWithError(error.toStdString().c_str());
      break;
    }
  }
}
BENCHMARK(BM_DirectImport)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") && !qEnvironmentVariableIsSet("DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  platform::installQtPlatform();
  appwidgets::MessageBoxHook::setFailWithoutAnswer(true);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  g_desk.reset(); // the window and the print server go while the application runs
  return 0;
}
