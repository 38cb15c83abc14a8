// Failure paths of fax calls in Classes 1, 2 and 2.0 through the simulated
// modem: numbers that do not lead to a fax machine, a remote that hangs up
// in mid-page, rejects every page or cancels with DCN, the user aborting in
// each phase of a call, and a receive folder that cannot take the file.
// Each call is checked for its error code, its log codes and history
// entries, what is left in the receive folder, and a modem that answers
// again on the same port afterwards.

#include "FaxSimHarness.h"

#include "faxengine/TFxFaxLog.h"
#include "faxengine/TFxReceiveFax.h"
#include "faxengine/TFxSendFax.h"
#include "faximage/ApfFile.h"
#include "platform/FxErrors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using faxtest::CallOutcome;
using faxtest::SimModem;

namespace {

using Pages = std::vector<std::vector<std::vector<uint8_t>>>;
using Check = std::function<bool(TFxCustomAbstractFax&)>;

// Class 1 runs the line at 2x: the machine's fixed waits before listening
// for an answer frame would eat most of the frame's preamble at 4x.
int LineSpeed(TFaxClass c) {
  return c == fcClass1 ? 2 : 4;
}

const char* Model(TFaxClass c) {
  return c == fcClass1 ? "class1" : c == fcClass2 ? "class12" : "class120";
}

std::string ClassName(TFaxClass c) {
  return c == fcClass1 ? "Class1" : c == fcClass2 ? "Class2" : "Class2_0";
}

template <class T> std::string ClassParamName(const ::testing::TestParamInfo<T>& info) {
  return ClassName(info.param);
}

bool Has(const std::vector<int>& v, int x) {
  return std::find(v.begin(), v.end(), x) != v.end();
}

int Count(const std::string& text, const std::string& word) {
  int n = 0;
  for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
    ++n;
  return n;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Aborts the call the first time `when` holds; polled every 20 ms.
struct AbortWhen {
  Check when;
  bool done = false;
  void operator()(TFxCustomAbstractFax& fax) {
    if (!done && when && when(fax)) {
      done = true;
      fax.AbortFax();
    }
  }
};

// ------------------------------------------------------------------ sending

struct SendJob {
  TFaxClass cls = fcClass2;
  std::vector<std::string> numbers{"5551234"}; // one fax to each, in one job
  std::string remote;                          // options of the fax machine at 5551234
  int pages = 1, lines = 6;
  uint16_t bps = 14400;
  Check abortWhen;
  int lineSpeed = 0; // 0: the class's usual speed
  int seconds = 60;
};

struct SendResult {
  CallOutcome out;
  bool aborted = false;
  std::string simLog, history, hangupCode;
  int remotePages = 0;
  bool modemAnswers = false;
};

SendResult RunSend(const SendJob& job) {
  SendResult r;
  SimModem sim(Model(job.cls),
               {"--number", "5551234 fax ring=1 ident=REMOTE dir=@DIR@/RX " + job.remote,
                "--number", "5550001 no-answer ring=1", "--number", "5550002 voice ring=1",
                "--number", "5550003 no-dialtone"},
               job.lineSpeed ? job.lineSpeed : LineSpeed(job.cls));
  EXPECT_TRUE(sim.Started()) << "simulator did not start";
  if (!sim.Started())
    return r;
  fs::create_directory(sim.Dir() + "/RX");
  const std::string apf = faxtest::MakeApf(sim.Dir(), job.pages, job.lines);
  TFxFaxLog history;
  history.FaxHistoryName = sim.Dir() + "/FXFAX.HIS";
  TFxComPort port;
  TFxSendFax fax;
  history.Fax = &fax;
  fax.SetFaxLog(&history);
  fax.SetFaxClass(job.cls);
  fax.SetDesiredBPS(job.bps);
  fax.SetStationID("TOLVANE");
  fax.SetDialAttempts(1);
  size_t next = 0;
  fax.OnFaxNext = [&](TFxCustomAbstractFax&, std::string& phone, std::string& file, std::string&) {
    if (next < job.numbers.size()) {
      phone = job.numbers[next++];
      file = apf;
    }
  };
  AbortWhen abort{job.abortWhen};
  r.out = faxtest::RunCall(
      fax, port, sim.Device(), [&] { fax.BeginTransmit(); }, job.seconds,
      [&abort](TFxCustomAbstractFax& f) { abort(f); }, 20);
  r.aborted = abort.done;
  r.hangupCode = fax.LastHangupCode();
  r.modemAnswers = sim.ModemAnswers();
  r.history = ReadAll(history.FaxHistoryName);
  r.simLog = sim.Log();
  for (auto& e : fs::directory_iterator(sim.Dir() + "/RX"))
    r.remotePages += static_cast<int>(faxtest::TiffRows(e.path().string()).size());
  return r;
}

// A send that failed with `code`: reported once as an error, logged as a
// failed transmission in the events and in the history, modem idle again.
void ExpectFailedSend(const SendResult& r, int code) {
  ASSERT_TRUE(r.out.finished) << r.simLog;
  EXPECT_EQ(r.out.finishCode, code) << ErrorText(r.out.finishCode) << "\n" << r.simLog;
  EXPECT_TRUE(Has(r.out.errors, code)) << r.simLog;
  EXPECT_EQ(r.out.logs, (std::vector<int>{1, 3})) << r.simLog;
  EXPECT_EQ(Count(r.history, "Transmit failed at"), 1) << r.history;
  EXPECT_NE(r.history.find("  (" + ErrorText(code) + ")"), std::string::npos) << r.history;
  EXPECT_EQ(r.out.lastEvents, 1);
  EXPECT_TRUE(r.modemAnswers) << "the modem does not answer after the call\n" << r.simLog;
}

// Numbers that lead to no fax machine, in one job of three faxes: nobody
// answers, a person answers, the line has no dial tone. Each fax fails with
// its own code and the job goes on to the next. Class 2 and 2.0 share the
// dial result state, so Class 2 stands for both.
class SendNoFax : public ::testing::TestWithParam<TFaxClass> {};

TEST_P(SendNoFax, EachFaxOfTheJobFailsWithItsOwnCode) {
  SendJob job;
  job.cls = GetParam();
  job.numbers = {"5550001", "5550002", "5550003"};
  job.lineSpeed = 4; // no training check on these calls
  const SendResult r = RunSend(job);
  ASSERT_TRUE(r.out.finished) << r.simLog;
  // The modem reports a voice answer as a lost carrier (Class 1) or as a
  // hang-up in the negotiation (Class 2, code 20): neither says VOICE.
  const int voice = GetParam() == fcClass1 ? ecFaxNoCarrier : ecFaxBadModemResult;
  EXPECT_EQ(r.out.errors, (std::vector<int>{ecFaxBusy, voice, ecFaxNoDialTone})) << r.simLog;
  EXPECT_EQ(r.out.finishCode, ecFaxNoDialTone);
  EXPECT_EQ(r.out.logs, (std::vector<int>{1, 3, 1, 3, 1, 3}));
  EXPECT_EQ(Count(r.history, "Transmit failed at"), 3) << r.history;
  for (int code : {ecFaxBusy, voice, ecFaxNoDialTone})
    EXPECT_NE(r.history.find("  (" + ErrorText(code) + ")"), std::string::npos) << r.history;
  // The voice call's hang-up code (Class 2) is not carried into the entry
  // of the fax after it.
  EXPECT_NE(r.history.find("  (" + ErrorText(ecFaxNoDialTone) + ") \r\n"), std::string::npos)
      << r.history;
  EXPECT_EQ(Count(r.simLog, "] dial "), 3) << r.simLog;
  EXPECT_EQ(r.out.lastEvents, 1);
  EXPECT_TRUE(r.modemAnswers);
}

INSTANTIATE_TEST_SUITE_P(Classes, SendNoFax, ::testing::Values(fcClass1, fcClass2),
                         ClassParamName<TFaxClass>);

// The remote hangs up two seconds into the page. A Class 1 modem answers
// the end of the page with NO CARRIER and ERROR instead of OK; Class 2 and
// 2.0 modems report the hang-up (code 40, in page data).
class SendCarrierLost : public ::testing::TestWithParam<TFaxClass> {};

TEST_P(SendCarrierLost, FailsTheFax) {
  SendJob job;
  job.cls = GetParam();
  job.remote = "drop=2";
  job.lines = 60;
  const SendResult r = RunSend(job);
  ExpectFailedSend(r, ecFaxBadModemResult);
  if (GetParam() != fcClass1)
    EXPECT_EQ(r.hangupCode, "40");
  EXPECT_EQ(r.remotePages, 0);
}

INSTANTIATE_TEST_SUITE_P(Classes, SendCarrierLost,
                         ::testing::Values(fcClass1, fcClass2, fcClass2_0),
                         ClassParamName<TFaxClass>);

// The remote answers every page with RTN. The Class 2 modem retrains one
// speed lower before each new attempt, so the call starts at 14400 to leave
// room for three. The first page is sent three times, then the call is
// given up. (Class 1 has no count: it retrains lower after each RTN, which
// ends in the training error the Class 1 tests already show.)
class SendPageRejected : public ::testing::TestWithParam<TFaxClass> {};

TEST_P(SendPageRejected, ThreeTimesGivesUp) {
  SendJob job;
  job.cls = GetParam();
  job.remote = "rtn=all";
  job.pages = 2;
  const SendResult r = RunSend(job);
  ExpectFailedSend(r, ecFaxSessionError);
  EXPECT_EQ(Count(r.simLog, "rejecting page"), 3) << r.simLog;
  EXPECT_EQ(r.remotePages, 0);
}

// The last page rejected: the remote gives up on it and the modem reports
// the hang-up, so the fax is not taken for a success.
TEST_P(SendPageRejected, LastPageRejectedFailsTheFax) {
  SendJob job;
  job.cls = GetParam();
  job.remote = "rtn=all";
  const SendResult r = RunSend(job);
  ExpectFailedSend(r, ecFaxBadModemResult);
  EXPECT_GE(Count(r.simLog, "rejecting page"), 1) << r.simLog;
  EXPECT_EQ(r.remotePages, 0);
}

INSTANTIATE_TEST_SUITE_P(Classes, SendPageRejected, ::testing::Values(fcClass2, fcClass2_0),
                         ClassParamName<TFaxClass>);

// The remote answers our DCS with DCN. Class 1 reads the DCN itself; a
// Class 2 or 2.0 modem reports the hang-up, which both dialects screen in
// the same state, so Class 2.0 stands for both.
class SendDcn : public ::testing::TestWithParam<TFaxClass> {};

TEST_P(SendDcn, FailsTheFax) {
  SendJob job;
  job.cls = GetParam();
  job.remote = "dcn=DCS";
  const SendResult r = RunSend(job);
  ExpectFailedSend(r, GetParam() == fcClass1 ? ecCancelRequested : ecFaxBadModemResult);
  EXPECT_EQ(r.remotePages, 0);
}

INSTANTIATE_TEST_SUITE_P(Classes, SendDcn, ::testing::Values(fcClass1, fcClass2_0),
                         ClassParamName<TFaxClass>);

// ----------------------------------------------------------- user abort (send)

struct SendAbortCase {
  TFaxClass cls;
  const char* phase;
};

void PrintTo(const SendAbortCase& c, std::ostream* os) {
  *os << ClassName(c.cls) << " " << c.phase;
}

class SendAbort : public ::testing::TestWithParam<SendAbortCase> {};

// Aborts in the phase, seen through the progress code (polled every 20 ms).
TEST_P(SendAbort, EndsTheJobWithCancel) {
  const std::string phase = GetParam().phase;
  SendJob job;
  job.cls = GetParam().cls;
  if (phase == "Dialling") {
    job.lineSpeed = 4;
    job.abortWhen = [](TFxCustomAbstractFax& f) { return f.ProgressCode() == 2; };
  } else if (phase == "Negotiation") {
    job.abortWhen = [](TFxCustomAbstractFax& f) { return f.ProgressCode() == 40; };
  } else if (phase == "MidPage") {
    job.lines = 60;
    job.abortWhen = [](TFxCustomAbstractFax& f) {
      return f.ProgressCode() == 4 && f.PageBytesDone() > 2000;
    };
  } else {
    job.pages = 2;
    // Page 1 accepted, page 2's data not started: status 7 lasts only until
    // the next page is selected, so that counts too.
    job.abortWhen = [](TFxCustomAbstractFax& f) {
      return f.ProgressCode() == 7 || (f.PageNumber() >= 2 && f.ProgressCode() != 4);
    };
  }
  const SendResult r = RunSend(job);
  ASSERT_TRUE(r.aborted) << "the phase was never seen\n" << r.simLog;
  ExpectFailedSend(r, ecCancelRequested);
  EXPECT_TRUE(r.out.statuses.count(42)) << "no user-abort status";
  EXPECT_EQ(r.remotePages, phase == "BetweenPages" ? 1 : 0) << r.simLog;
}

// Class 2 and 2.0 share the states these phases run in: Class 2 stands
// for both, Class 2.0 for the negotiation.
INSTANTIATE_TEST_SUITE_P(
    Phases, SendAbort,
    ::testing::Values(SendAbortCase{fcClass1, "Dialling"}, SendAbortCase{fcClass2, "Dialling"},
                      SendAbortCase{fcClass1, "Negotiation"},
                      SendAbortCase{fcClass2_0, "Negotiation"}, SendAbortCase{fcClass1, "MidPage"},
                      SendAbortCase{fcClass2, "MidPage"}, SendAbortCase{fcClass1, "BetweenPages"},
                      SendAbortCase{fcClass2, "BetweenPages"}),
    [](const auto& info) { return ClassName(info.param.cls) + info.param.phase; });

// ---------------------------------------------------------------- receiving

// Two pages of a fine-grained pattern: many short runs make long coded rows,
// so a page takes several seconds of line time.
Pages CallerPages() {
  Pages pages(2);
  for (int p = 0; p < 2; ++p)
    for (int y = 0; y < 400; ++y) {
      std::vector<uint8_t> row(216, 0);
      for (int x = 0; x < 216; x += 5 + p)
        row[x] = static_cast<uint8_t>(0x0F << (y % 5));
      pages[p].push_back(row);
    }
  return pages;
}

struct ReceiveJob {
  TFaxClass cls = fcClass2;
  std::string caller;      // options of the remote machine that calls in
  bool call = true;        // false: nobody calls
  std::string destination; // empty: a fresh folder
  bool exitOnError = true; // false: after a failure, wait for the next call
  Check abortWhen;
  int seconds = 60;
};

struct ReceiveResult {
  CallOutcome out;
  bool aborted = false;
  std::string simLog, history;
  std::string folder;
  std::string fileAtFailure; // FaxFile when the failure was logged
  std::vector<std::string> files;
  int storedPageCount = -1; // of the one received file, if any
  Pages stored;
  bool modemAnswers = false;
};

ReceiveResult RunReceive(const ReceiveJob& job) {
  ReceiveResult r;
  char tmpl[] = "/tmp/tolvane-faxsrc-XXXXXX";
  const std::string src = mkdtemp(tmpl);
  faxtest::WriteTiff(src + "/in.tif", CallerPages());
  std::vector<std::string> args = {"--number",
                                   "777 fax ident=CALLER file=" + src + "/in.tif " + job.caller};
  if (job.call) {
    args.push_back("--call");
    // About a second after the start, when the modem is set up.
    args.push_back("777 com1 at=" + std::to_string(LineSpeed(job.cls)));
  }
  SimModem sim(Model(job.cls), args, LineSpeed(job.cls));
  EXPECT_TRUE(sim.Started()) << "simulator did not start";
  if (!sim.Started()) {
    fs::remove_all(src);
    return r;
  }
  r.folder = sim.Dir() + "/receive";
  fs::create_directory(r.folder);
  TFxFaxLog history;
  history.FaxHistoryName = sim.Dir() + "/FXFAX.HIS";
  TFxComPort port;
  TFxReceiveFax fax;
  history.Fax = &fax;
  fax.SetFaxLog(&history);
  fax.SetFaxClass(job.cls);
  fax.SetDestinationDir(job.destination.empty() ? r.folder : job.destination);
  fax.SetOneFax(true);
  fax.SetExitOnError(job.exitOnError);
  AbortWhen abort{job.abortWhen};
  const auto begin = [&] {
    // The file named when the failure is logged is the one the application
    // deletes; the component clears the name right after.
    fax.OnFaxLog = [&r, counted = fax.OnFaxLog](TFxCustomAbstractFax& f, int code) {
      if (code == 7)
        r.fileAtFailure = f.FaxFile();
      counted(f, code);
    };
    fax.BeginReceive();
  };
  r.out = faxtest::RunCall(
      fax, port, sim.Device(), begin, job.seconds, [&abort](TFxCustomAbstractFax& f) { abort(f); },
      20);
  r.aborted = abort.done;
  r.modemAnswers = sim.ModemAnswers();
  r.history = ReadAll(history.FaxHistoryName);
  r.simLog = sim.Log();
  for (auto& e : fs::directory_iterator(r.folder))
    r.files.push_back(e.path().string());
  faximage::ApfFileHeader header;
  if (r.files.size() == 1 && faximage::readApfFileHeader(r.files[0], header) == 0) {
    r.storedPageCount = header.pageCount;
    r.stored = faxtest::ApfRows(r.files[0]);
  }
  fs::remove_all(src);
  return r;
}

// A receive that failed with `code` after the file was opened: the file is
// closed with the pages so far and named when the failure is logged.
void ExpectFailedReceive(const ReceiveResult& r, int code, int lastEvents = 1) {
  ASSERT_TRUE(r.out.finished) << r.simLog;
  EXPECT_EQ(r.out.finishCode, code) << ErrorText(r.out.finishCode) << "\n" << r.simLog;
  EXPECT_TRUE(Has(r.out.errors, code)) << r.simLog;
  EXPECT_EQ(r.out.lastEvents, lastEvents);
  EXPECT_TRUE(r.modemAnswers) << "the modem does not answer after the call\n" << r.simLog;
}

// The call failed in mid-page: the file was started, logged, and closed
// with the `pages` so far, the last of them cut short; it is named when the
// failure is logged (the application deletes it then).
void ExpectPartialFile(const ReceiveResult& r, int code, size_t pages) {
  EXPECT_EQ(r.out.logs, (std::vector<int>{4, 7})) << r.simLog;
  ASSERT_EQ(r.files.size(), 1u) << r.simLog;
  EXPECT_EQ(r.fileAtFailure, r.files[0]);
  // (Class 1 reads the caller's ID as sent: padded in front.)
  EXPECT_NE(r.history.find("Receive " + r.files[0] + " from "), std::string::npos) << r.history;
  EXPECT_NE(r.history.find("CALLER started at"), std::string::npos) << r.history;
  EXPECT_EQ(Count(r.history, "Receive failed at"), 1) << r.history;
  EXPECT_NE(r.history.find("  (" + ErrorText(code) + ")"), std::string::npos) << r.history;
  EXPECT_EQ(r.storedPageCount, static_cast<int>(pages));
  ASSERT_EQ(r.stored.size(), pages);
  // What arrived of the page is the top of the page that was sent.
  const Pages sent = CallerPages();
  for (size_t p = 0; p < pages; ++p) {
    ASSERT_GT(r.stored[p].size(), 0u) << "page " << p + 1;
    ASSERT_LE(r.stored[p].size(), sent[p].size()) << "page " << p + 1;
    if (p + 1 == pages)
      EXPECT_LT(r.stored[p].size(), sent[p].size()) << "the last page is complete";
    for (size_t y = 0; y + 1 < r.stored[p].size(); ++y)
      ASSERT_EQ(r.stored[p][y], sent[p][y]) << "page " << p + 1 << " row " << y;
  }
}

// The caller hangs up three seconds into its first page: the rows that
// arrived are kept as page 1 of a closed file. A Class 1 modem's page ends
// as usual and the post-page message never comes (timeout); a Class 2
// modem reports the hang-up. Class 2 and 2.0 share the receive states.
class ReceiveCarrierLost : public ::testing::TestWithParam<TFaxClass> {};

TEST_P(ReceiveCarrierLost, KeepsThePageSoFar) {
  ReceiveJob job;
  job.cls = GetParam();
  job.caller = "drop=3";
  const ReceiveResult r = RunReceive(job);
  const int code = GetParam() == fcClass1 ? ecTimeout : ecFaxSessionError;
  ExpectFailedReceive(r, code);
  ExpectPartialFile(r, code, 1);
}

INSTANTIATE_TEST_SUITE_P(Classes, ReceiveCarrierLost, ::testing::Values(fcClass1, fcClass2),
                         ClassParamName<TFaxClass>);

// The caller answers our DIS with DCN: nothing was accepted, no file.
class ReceiveDcn : public ::testing::TestWithParam<TFaxClass> {};

TEST_P(ReceiveDcn, EndsTheCallWithoutAFile) {
  ReceiveJob job;
  job.cls = GetParam();
  job.caller = "dcn=DIS";
  const ReceiveResult r = RunReceive(job);
  ExpectFailedReceive(r, GetParam() == fcClass1 ? ecCancelRequested : ecFaxSessionError);
  EXPECT_TRUE(r.out.logs.empty());
  EXPECT_TRUE(r.files.empty());
  EXPECT_TRUE(r.history.empty()) << r.history;
}

INSTANTIATE_TEST_SUITE_P(Classes, ReceiveDcn, ::testing::Values(fcClass1, fcClass2_0),
                         ClassParamName<TFaxClass>);

// Running as root, mode bits do not stop a write, so the folder is a path
// below a regular file: creating the fax file there fails with ENOTDIR for
// every user. The accepted fax is lost, which is logged as a failed
// reception; the job then waits for the next call on the same port, and is
// aborted there.
class ReceiveFolder : public ::testing::TestWithParam<TFaxClass> {};

TEST_P(ReceiveFolder, ThatCannotTakeTheFileFailsTheCall) {
  ReceiveJob job;
  job.cls = GetParam();
  job.exitOnError = false;
  char tmpl[] = "/tmp/tolvane-faxdest-XXXXXX";
  const std::string base = mkdtemp(tmpl);
  std::ofstream(base + "/plain") << "a file, not a folder";
  job.destination = base + "/plain/receive";
  job.abortWhen = [](TFxCustomAbstractFax& f) {
    return f.LastError() != 0 && f.ProgressCode() == 20;
  };
  const ReceiveResult r = RunReceive(job);
  fs::remove_all(base);
  ASSERT_TRUE(r.aborted) << "no wait for the next call\n" << r.simLog;
  // A Last status for the failed call, and one for the end of the job.
  ExpectFailedReceive(r, ecCancelRequested, 2);
  EXPECT_EQ(r.out.errors, (std::vector<int>{ecPathNotFound, ecCancelRequested}));
  EXPECT_EQ(r.out.logs, std::vector<int>{7}) << r.simLog;
  EXPECT_EQ(r.fileAtFailure, base + "/plain/receive/FAX0001.APF");
  EXPECT_NE(r.history.find("  (" + ErrorText(ecPathNotFound) + ")"), std::string::npos)
      << r.history;
}

INSTANTIATE_TEST_SUITE_P(Classes, ReceiveFolder, ::testing::Values(fcClass1, fcClass2),
                         ClassParamName<TFaxClass>);

// -------------------------------------------------------- user abort (receive)

struct ReceiveAbortCase {
  TFaxClass cls;
  const char* phase;
};

void PrintTo(const ReceiveAbortCase& c, std::ostream* os) {
  *os << ClassName(c.cls) << " " << c.phase;
}

class ReceiveAbort : public ::testing::TestWithParam<ReceiveAbortCase> {};

// Waiting for a ring is aborted in ReceiveFolder, after a failed call.
TEST_P(ReceiveAbort, EndsTheJobWithCancel) {
  const std::string phase = GetParam().phase;
  ReceiveJob job;
  job.cls = GetParam().cls;
  // Answering: from ATA until the caller's ID arrives (a Class 2 modem
  // reports the fax connection at once, status 23).
  if (phase == "Answering")
    job.abortWhen = [](TFxCustomAbstractFax& f) {
      return f.ProgressCode() == 22 || f.ProgressCode() == 23;
    };
  else
    job.abortWhen = [](TFxCustomAbstractFax& f) {
      return f.ProgressCode() == 24 && f.PageBytesDone() > 3000;
    };
  const ReceiveResult r = RunReceive(job);
  ASSERT_TRUE(r.aborted) << "the phase was never seen\n" << r.simLog;
  ExpectFailedReceive(r, ecCancelRequested);
  EXPECT_TRUE(r.out.statuses.count(42)) << "no user-abort status";
  if (phase == "MidPage") {
    ExpectPartialFile(r, ecCancelRequested, 1);
  } else {
    EXPECT_TRUE(r.out.logs.empty());
    EXPECT_TRUE(r.files.empty());
    EXPECT_TRUE(r.history.empty()) << r.history;
  }
}

INSTANTIATE_TEST_SUITE_P(Phases, ReceiveAbort,
                         ::testing::Values(ReceiveAbortCase{fcClass1, "Answering"},
                                           ReceiveAbortCase{fcClass2, "Answering"},
                                           ReceiveAbortCase{fcClass1, "MidPage"},
                                           ReceiveAbortCase{fcClass2, "MidPage"}),
                         [](const auto& info) {
                           return ClassName(info.param.cls) + info.param.phase;
                         });

} // namespace
