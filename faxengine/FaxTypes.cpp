// Status texts and the Class 2 / 2.0 dialect words.

#include "faxengine/FaxTypes.h"
#include "faxengine/FaxRecord.h"

namespace faxengine {

std::string StatusText(int code) {
  switch (code) {
  case fpInitModem:
    return "Initializing modem for fax processing";
  case fpDialing:
    return "Dialing";
  case fpBusyWait:
    return "Busy, waiting until redial...";
  case fpSendPage:
    return "Sending page data";
  case fpSendPageStatus:
    return "Sending EOP";
  case fpPageError:
    return "Error sending page";
  case fpPageOK:
    return "Page accepted by remote";
  case fpWaiting:
    return "Waiting for incoming call";
  case fpNoConnect:
    return "No connect on this call";
  case fpAnswer:
    return "Answering incoming call";
  case fpIncoming:
    return "Incoming call validated as fax";
  case fpGetPage:
    return "Getting page data";
  case fpGetPageResult:
    return "Getting end-of-page signal";
  case fpCheckMorePages:
    return "Getting end-of-document status";
  case fpGetHangup:
    return "Getting hangup command";
  case fpGotHangup:
    return "Got Class 2 FHNG code";
  case fpSessionParams:
    return "Getting connection params";
  case fpGotRemoteID:
    return "Got called-station ID";
  case fpCancel:
    return "User abort";
  default:
    return "";
  }
}

ClassDialect MakeDialect(TFaxClass cls) {
  if (cls == fcClass2_0)
    return {"AT+FCLASS=2.0", "AT+FMI?", "AT+FMM?", "AT+FMR?", "AT+FIS", "AT+FLI", "AT+FCC",
            "+FCO",          "+FIS",    "+FCS",    "+FTI",    "+FCI",   "+FPS",   "FHS"};
  return {"AT+FCLASS=2", "AT+FMDL?", "AT+FMFR?", "AT+FREV?", "AT+FDIS", "AT+FLID", "AT+FDCC",
          "+FCON",       "+FDIS",    "+FDCS",    "+FTSI",    "+FCSI",   "+FPTS",   "FHNG"};
}

} // namespace faxengine
