#pragma once
// What the tests of calls through the simulated modem in every class share:
// the modem model and line speed of a class, test names by class, send and
// receive components set up for one fax, and the remote fax machine's numbers.

#include "faxengine/TFxReceiveFax.h"
#include "faxengine/TFxSendFax.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

namespace faxtest {

inline const char* ModelOf(TFaxClass c) {
  return c == fcClass1 ? "class1" : c == fcClass2 ? "class12" : "class120";
}

// Class 1 at 2x: its fixed waits before an answer frame would eat the
// frame's preamble at 4x.
inline int LineSpeedOf(TFaxClass c) {
  return c == fcClass1 ? 2 : 4;
}

inline std::string ClassTestName(const ::testing::TestParamInfo<TFaxClass>& info) {
  return info.param == fcClass1 ? "Class1" : info.param == fcClass2 ? "Class2" : "Class2_0";
}

inline bool Contains(const std::vector<int>& v, int x) {
  return std::find(v.begin(), v.end(), x) != v.end();
}

inline double SecondsSince(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// A fax machine at 5551234 that keeps pages in @DIR@/RX; nobody answers 5550001.
inline const std::vector<std::string> kRemoteNumbers = {
    "--number", "5551234 fax ring=1 ident=REMOTE dir=@DIR@/RX", "--number",
    "5550001 no-answer ring=1"};

// A send component set up for one fax of `file` to `number`.
inline void SetUpSend(TFxSendFax& fax, TFaxClass cls, const std::string& number,
                      const std::string& file) {
  fax.SetFaxClass(cls);
  fax.SetDesiredBPS(14400);
  fax.SetStationID("TOLVANE");
  fax.SetDialAttempts(1);
  fax.SetPhoneNumber(number);
  fax.SetFaxFile(file);
}

// A receive component for one fax in the given class into `folder`.
inline void SetUpReceiveOne(TFxReceiveFax& fax, TFaxClass cls, const std::string& folder) {
  fax.SetFaxClass(cls);
  fax.SetDestinationDir(folder);
  fax.SetOneFax(true);
}

// True once the call is sending page data and `bytes` of it have gone.
inline bool InPage(TFxCustomAbstractFax& fax, long bytes) {
  return fax.ProgressCode() == faxengine::fpSendPage && fax.PageBytesDone() > bytes;
}

} // namespace faxtest
