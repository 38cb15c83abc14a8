// tolvane-fax send: dials a number through a fax modem and sends an APF or
// text file, with an optional cover (APF or text) and header line.

#include "faxengine/TFxSendFax.h"
#include "faximage/FaxConverter.h"
#include "tools/tolvane-fax/CommandLine.h"
#include "tools/tolvane-fax/Commands.h"
#include "tools/tolvane-fax/FaxCallRunner.h"
#include "tools/tolvane-fax/PageFiles.h"

#include <cstdio>
#include <memory>
#include <unistd.h>

namespace cli {

namespace {

// A text file becomes a temporary APF file next to nothing the user owns.
class TextAsApf {
public:
  explicit TextAsApf(const std::string& text, bool fine) {
    char name[] = "/tmp/tolvane-send-XXXXXX";
    const int fd = mkstemp(name);
    if (fd >= 0)
      close(fd);
    m_path = std::string(name) + ".apf";
    std::remove(name);
    faximage::TFxFaxConverter c;
    c.setInputDocumentType(faximage::idText);
    c.setResolution(fine ? faximage::frHigh : faximage::frNormal);
    c.setDocumentFile(text);
    c.setOutFileName(m_path);
    c.ConvertDocument();
  }
  ~TextAsApf() { std::remove(m_path.c_str()); }
  const std::string& path() const { return m_path; }

private:
  std::string m_path;
};

void beginSend(TFxCustomAbstractFax& fax) {
  static_cast<TFxCustomSendFax&>(fax).BeginTransmit();
}

} // namespace

int sendCommand(const std::vector<std::string>& args) {
  const CommandLine cl(args,
                       {"cover", "header", "station", "class", "speed", "prefix", "attempts",
                        "retry-wait", "dial-wait", "history", "trace", "timeout", "init", "sender",
                        "recipient", "title"},
                       {"pulse", "fine", "blind", "abort-no-connect", "no-ecm", "no-2d"});
  if (cl.positional().size() < 2 || cl.positional().size() > 3)
    throw UsageError("send wants a device, a number and a file");
  const std::string& device = cl.positional()[0];
  const std::string& number = cl.positional()[1];
  std::unique_ptr<TextAsApf> converted;
  std::string file = cl.positional().size() > 2 ? cl.positional()[2] : "";
  if (!file.empty() && extensionOf(file) != "apf") {
    converted = std::make_unique<TextAsApf>(file, cl.has("fine"));
    file = converted->path();
  }
  TFxSendFax fax;
  FaxCallSetup setup;
  setUpFaxCall(cl, device, setup, fax);
  fax.SetPhoneNumber(number);
  fax.SetFaxFile(file);
  fax.SetCoverFile(cl.value("cover"));
  fax.SetHeaderLine(cl.value("header"));
  fax.SetHeaderSender(cl.value("sender"));
  fax.SetHeaderRecipient(cl.value("recipient"));
  fax.SetHeaderTitle(cl.value("title"));
  fax.SetDialPrefix(cl.value("prefix"));
  fax.SetToneDial(!cl.has("pulse"));
  fax.SetBlindDial(cl.has("blind"));
  fax.SetAbortNoConnect(cl.has("abort-no-connect"));
  fax.SetDialAttempts(static_cast<uint16_t>(cl.number("attempts", 3, 0, 1000)));
  fax.SetDialRetryWait(static_cast<uint16_t>(cl.number("retry-wait", 60, 0, 3600)));
  fax.SetDialWait(static_cast<uint16_t>(cl.number("dial-wait", 60, 1, 3600)));
  const int timeout = static_cast<int>(cl.number("timeout", 0, 0, 86400));
  return runFaxCall(fax, setup, beginSend, timeout) == 0 ? 0 : 1;
}

} // namespace cli
