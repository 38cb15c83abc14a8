// GUI-thread time per status event of the fax status window, for the events
// a 14400 bit/s Class 1 send produces: each progress step at once, and one
// event a second while a page goes out, 1800 bytes further each time. Every
// event is handled the way the engine delivers it (the status component's
// UpdateDisplay) and then painted, which is what the user waits for.
//
// The peer is the least a status window can do: a QProgressBar and one
// QLabel updated from the same events.
//
// Counters: median_us and p99_us per event (over all events of the run).

#include "send/TFxFaxStatus.h"
#include "faxengine/FaxTypes.h"
#include "faxengine/TFxSendFax.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

using namespace faxengine;

constexpr long kPageBytes = 40000; // a text page, about 22 s at 14400 bit/s
constexpr long kBytesPerEvent = 1800;

// One call's events: set-up, then per page its data in one-second steps,
// end of page and confirmation, three pages.
struct Event {
  int code;
  int page;
  long done;
};

std::vector<Event> CallEvents() {
  std::vector<Event> events = {
      {fpInitModem, 1, 0}, {fpDialing, 1, 0}, {fpSessionParams, 1, 0}, {fpGotRemoteID, 1, 0}};
  for (int page = 1; page <= 3; ++page) {
    for (long done = 0; done < kPageBytes; done += kBytesPerEvent)
      events.push_back({fpSendPage, page, done});
    events.push_back({fpSendPageStatus, page, kPageBytes});
    events.push_back({fpPageOK, page, kPageBytes});
  }
  return events;
}

void Apply(TFxSendFax& fax, const Event& e) {
  auto& rec = fax.Record();
  rec.status = e.code;
  rec.pageNumber = e.page;
  rec.pageBytesTotal = e.code >= fpSendPage ? kPageBytes : 0;
  rec.pageBytesDone = e.done;
}

void Report(benchmark::State& state, std::vector<double>& us) {
  std::sort(us.begin(), us.end());
  if (us.empty())
    return;
  state.counters["median_us"] = us[us.size() / 2];
  state.counters["p99_us"] = us[us.size() * 99 / 100];
}

template <typename Handle> void RunEvents(benchmark::State& state, Handle handle) {
  const std::vector<Event> events = CallEvents();
  std::vector<double> us;
  for (auto _ : state) {
    for (const Event& e : events) {
      const auto start = std::chrono::steady_clock::now();
      handle(e);
      QCoreApplication::processEvents(); // the repaint the event caused
      us.push_back(
          std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
              .count());
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * events.size()));
  Report(state, us);
}

void BM_StatusWindow(benchmark::State& state) {
  TFxSendFax fax;
  fax.SetPhoneNumber("5550100");
  fax.SetFaxFile("/home/user/.local/share/tolvane/TOVAX1.APF");
  fax.Record().filePageCount = 3;
  QWidget owner;
  TFxFaxStatus status(&owner);
  status.Fax = &fax;
  Apply(fax, {fpInitModem, 1, 0});
  status.UpdateDisplay(true, false);
  QCoreApplication::processEvents();
  RunEvents(state, [&](const Event& e) {
    Apply(fax, e);
    status.UpdateDisplay(false, false);
  });
  status.UpdateDisplay(false, true);
}
BENCHMARK(BM_StatusWindow)->Unit(benchmark::kMillisecond);

void BM_PlainProgressBarPeer(benchmark::State& state) {
  TFxSendFax fax;
  QWidget window;
  auto* layout = new QVBoxLayout(&window);
  auto* label = new QLabel(&window);
  auto* bar = new QProgressBar(&window);
  layout->addWidget(label);
  layout->addWidget(bar);
  window.show();
  QCoreApplication::processEvents();
  RunEvents(state, [&](const Event& e) {
    Apply(fax, e);
    label->setText(QString::fromStdString(TFxCustomAbstractFax::StatusText(fax.ProgressCode())));
    const long total = fax.PageBytesTotal();
    bar->setValue(total ? static_cast<int>(fax.PageBytesDone() * 100 / total) : 0);
  });
}
BENCHMARK(BM_PlainProgressBarPeer)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") && !qEnvironmentVariableIsSet("DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
