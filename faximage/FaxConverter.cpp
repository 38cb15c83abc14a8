#include "faximage/FaxConverter.h"

#include "platform/FxErrors.h"

namespace faximage {

void TFxCustomFaxConverter::setOptions(TFaxCvtOptionsSet v) {
  v &= coDoubleWidth | coHalfHeight | coCenterImage | coYield | coYieldOften;
  if (v & coYieldOften)
    v |= coYield;
  m_settings.options = v;
}

void TFxCustomFaxConverter::setDocumentFile(const std::string& v) {
  if (v == m_documentFile)
    return;
  m_documentFile = v;
  m_outFileName = replaceExtension(v, "APF");
}

void TFxCustomFaxConverter::ConvertDocument() {
  if (m_settings.type == idNone || m_settings.type == idBitmap)
    RaiseFxError(ecBadArgument);
  ConvertEvents events;
  events.status = [this](bool starting, bool ending, int pages, int lines, long done, long total,
                         bool& abort) {
    DoStatus(starting, ending, pages, lines, done, total, abort);
  };
  events.user.open = [this](const std::string& name) { DoOpenUserFile(name); };
  events.user.close = [this] { DoCloseUserFile(); };
  events.user.readLine = [this](uint8_t* data, int& len, bool& endOfPage, bool& morePages) {
    DoReadUserLine(data, len, endOfPage, morePages);
  };
  CheckFx(convertToApf(m_settings, m_documentFile, m_outFileName, events));
}

void TFxCustomFaxConverter::DoStatus(bool Starting, bool Ending, int PagesConverted,
                                     int LinesConverted, long BytesConverted, long BytesToConvert,
                                     bool& Abort) {
  if (OnStatus)
    OnStatus(this, Starting, Ending, PagesConverted, LinesConverted, BytesConverted, BytesToConvert,
             Abort);
}

void TFxCustomFaxConverter::DoOutputLine(uint8_t* Data, int Len, bool EndOfPage, bool MorePages) {
  if (OnOutputLine)
    OnOutputLine(this, Data, Len, EndOfPage, MorePages);
}

void TFxCustomFaxConverter::DoOpenUserFile(const std::string& FName) {
  if (OnOpenUserFile)
    OnOpenUserFile(this, FName);
}

void TFxCustomFaxConverter::DoCloseUserFile() {
  if (OnCloseUserFile)
    OnCloseUserFile(this);
}

void TFxCustomFaxConverter::DoReadUserLine(uint8_t* Data, int& Len, bool& EndOfPage,
                                           bool& MorePages) {
  if (OnReadUserLine) {
    OnReadUserLine(this, Data, Len, EndOfPage, MorePages);
    return;
  }
  EndOfPage = true;
  MorePages = false;
}

} // namespace faximage
