// tolvane-fax receive: answers incoming calls on a fax modem and stores each
// fax as FAX0001.APF, FAX0002.APF ... in a folder.

#include "faxengine/TFxReceiveFax.h"
#include "tools/tolvane-fax/CommandLine.h"
#include "tools/tolvane-fax/Commands.h"
#include "tools/tolvane-fax/FaxCallRunner.h"

#include "platform/FxErrors.h"

#include <cstdio>

namespace cli {

namespace {
void beginReceive(TFxCustomAbstractFax& fax) {
  static_cast<TFxCustomReceiveFax&>(fax).BeginReceive();
}
} // namespace

int receiveCommand(const std::vector<std::string>& args) {
  const CommandLine cl(
      args, {"station", "class", "speed", "rings", "history", "trace", "timeout", "init"},
      {"one", "exit-on-error", "no-ecm", "no-2d"});
  if (cl.positional().size() != 2)
    throw UsageError("receive wants a device and a folder");
  TFxReceiveFax fax;
  FaxCallSetup setup;
  setUpFaxCall(cl, cl.positional()[0], setup, fax);
  fax.SetDestinationDir(cl.positional()[1]);
  fax.SetAnswerOnRing(static_cast<uint16_t>(cl.number("rings", 1, 1, 255)));
  fax.SetOneFax(cl.has("one"));
  fax.SetExitOnError(cl.has("exit-on-error"));
  fax.OnFaxLog = [](TFxCustomAbstractFax& f, int code) {
    if (code == 4)
      std::printf("Receiving %s from %s\n", f.FaxFile().c_str(), f.RemoteIdent().c_str());
    else if (code == 5)
      std::printf("Received %d page(s)\n", f.PageNumber());
    std::fflush(stdout);
  };
  const int timeout = static_cast<int>(cl.number("timeout", 0, 0, 86400));
  // A modem that vanishes ends the receive job with --one; otherwise the
  // job waits for the device to come back (a USB modem plugged in again)
  // and answers calls again, rather than trying the dead port over and over.
  for (;;) {
    const int rc = runFaxCall(fax, setup, beginReceive, timeout);
    if (rc != ecFaxModemGone || cl.has("one") || !waitForDevice(setup, timeout))
      return rc == 0 ? 0 : 1;
  }
}

} // namespace cli
