// The fax history file: one entry per log event, appended.

#include "faxengine/TFxFaxLog.h"

#include "faxengine/TFxAbstractFax.h"
#include "platform/FxErrors.h"

#include <cstdio>
#include <ctime>

namespace {
std::string LongDateTime() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char buf[96];
  return std::strftime(buf, sizeof buf, "%c", &tm) ? buf : "";
}
} // namespace

std::string TFxFaxLog::LogEntry(TFxCustomAbstractFax& fax, int logCode) {
  const std::string when = LongDateTime();
  const std::string crlf = "\r\n";
  const bool sender = fax.IsSender();
  const auto& rec = fax.Record();
  switch (logCode) {
  case 1:
    return sender ? "Transmit " + fax.FaxFile() + " to " + rec.phoneNumber + " started at " + when +
                        crlf
                  : "";
  case 2:
    return sender ? "Transmit to " + fax.RemoteIdent() + " finished OK at " + when + " " +
                        fax.LastHangupCode() + crlf + crlf
                  : "";
  case 3:
    return sender ? "Transmit failed at " + when + crlf + "  (" + ErrorText(fax.LastError()) +
                        ") " + fax.LastHangupCode() + crlf + crlf
                  : "";
  case 4:
    return sender ? ""
                  : "Receive " + fax.FaxFile() + " from " + fax.RemoteIdent() + " started at " +
                        when + crlf;
  case 5:
    return sender ? "" : "Receive finished OK at " + when + crlf + crlf;
  case 6:
    return sender ? "" : "Receive skipped at " + when + crlf + crlf;
  case 7:
    return sender ? ""
                  : "Receive failed at " + when + crlf + "  (" + ErrorText(fax.LastError()) + ")" +
                        crlf + crlf;
  default:
    return "";
  }
}

void TFxFaxLog::UpdateLog(TFxCustomAbstractFax& fax, int logCode) {
  if (FaxHistoryName.empty())
    return;
  const std::string entry = LogEntry(fax, logCode);
  if (entry.empty())
    return;
  std::FILE* f = std::fopen(FaxHistoryName.c_str(), "ab");
  if (!f)
    f = std::fopen(FaxHistoryName.c_str(), "wb");
  if (!f)
    return;
  std::fwrite(entry.data(), 1, entry.size(), f);
  std::fclose(f);
}
