#pragma once
// The fax converter component: turns a text, TIFF, PCX, DCX or BMP document,
// or rows supplied through events, into an APF fax file.
//
//   faximage::TFxFaxConverter c;
//   c.setInputDocumentType(faximage::idBmp);
//   c.setResolution(faximage::frHigh);
//   c.setDocumentFile("page.bmp");   // output becomes page.APF
//   c.ConvertDocument();             // raises an EFxException family error

#include "faximage/ConvertEngine.h"
#include "faximage/ConvertTypes.h"

#include <cstdint>
#include <functional>
#include <string>

namespace faximage {

class TFxCustomFaxConverter;

using TFaxStatusEvent =
    std::function<void(TFxCustomFaxConverter* F, bool Starting, bool Ending, int PagesConverted,
                       int LinesConverted, long BytesConverted, long BytesToConvert, bool& Abort)>;
using TFaxOutputLineEvent = std::function<void(TFxCustomFaxConverter* F, uint8_t* Data, int Len,
                                               bool EndOfPage, bool MorePages)>;
using TFaxOpenFileEvent = std::function<void(TFxCustomFaxConverter* F, const std::string& FName)>;
using TFaxCloseFileEvent = std::function<void(TFxCustomFaxConverter* F)>;
using TFaxReadLineEvent = std::function<void(TFxCustomFaxConverter* F, uint8_t* Data, int& Len,
                                             bool& EndOfPage, bool& MorePages)>;

class TFxCustomFaxConverter {
public:
  TFxCustomFaxConverter() = default;
  virtual ~TFxCustomFaxConverter() = default;
  TFxCustomFaxConverter(const TFxCustomFaxConverter&) = delete;
  TFxCustomFaxConverter& operator=(const TFxCustomFaxConverter&) = delete;

  // Converts DocumentFile into an APF file; raises on any failure (and then
  // leaves no output file).
  void ConvertDocument();

  TFaxInputDocumentType InputDocumentType() const { return m_settings.type; }
  void setInputDocumentType(TFaxInputDocumentType v) { m_settings.type = v; }
  TFaxCvtOptionsSet Options() const { return m_settings.options; }
  void setOptions(TFaxCvtOptionsSet v);
  TFaxResolution Resolution() const { return m_settings.resolution; }
  void setResolution(TFaxResolution v) { m_settings.resolution = v; }
  TFaxWidth Width() const { return m_settings.width; }
  void setWidth(TFaxWidth v) { m_settings.width = v; }
  unsigned TopMargin() const { return m_settings.topMargin; }
  void setTopMargin(unsigned v) { m_settings.topMargin = v; }
  unsigned LeftMargin() const { return m_settings.leftMargin; }
  void setLeftMargin(unsigned v) { m_settings.leftMargin = v; }
  unsigned LinesPerPage() const { return m_settings.linesPerPage; }
  void setLinesPerPage(unsigned v) { m_settings.linesPerPage = v; }
  unsigned TabStop() const { return m_settings.tabStop; }
  void setTabStop(unsigned v) { m_settings.tabStop = v; }
  // Kept with the component; text is always drawn with the built-in font.
  const std::string& FontFile() const { return m_fontFile; }
  void setFontFile(const std::string& v) { m_fontFile = v; }
  TFaxFont FontType() const { return m_settings.font; }
  void setFontType(TFaxFont v) { m_settings.font = v; }
  const std::string& DocumentFile() const { return m_documentFile; }
  // A different name also sets OutFileName to it with the extension ".APF".
  void setDocumentFile(const std::string& v);
  const std::string& OutFileName() const { return m_outFileName; }
  void setOutFileName(const std::string& v) { m_outFileName = v; }
  const std::string& DefUserExtension() const { return m_settings.defUserExtension; }
  void setDefUserExtension(const std::string& v) { m_settings.defUserExtension = v; }
  // Written into the file header; at most 20 characters are used.
  const std::string& StationID() const { return m_settings.stationId; }
  void setStationID(const std::string& v) { m_settings.stationId = v; }

  TFaxStatusEvent OnStatus;
  TFaxOutputLineEvent OnOutputLine;
  TFaxOpenFileEvent OnOpenUserFile;
  TFaxCloseFileEvent OnCloseUserFile;
  TFaxReadLineEvent OnReadUserLine;

protected:
  // Notifications, each raising its event; derived classes may take them over.
  virtual void DoStatus(bool Starting, bool Ending, int PagesConverted, int LinesConverted,
                        long BytesConverted, long BytesToConvert, bool& Abort);
  virtual void DoOutputLine(uint8_t* Data, int Len, bool EndOfPage, bool MorePages);
  virtual void DoOpenUserFile(const std::string& FName);
  virtual void DoCloseUserFile();
  // Not virtual: without a handler the input ends at once.
  void DoReadUserLine(uint8_t* Data, int& Len, bool& EndOfPage, bool& MorePages);

private:
  ConvertSettings m_settings;
  std::string m_fontFile = "FXFAX.FNT";
  std::string m_documentFile;
  std::string m_outFileName;
};

class TFxFaxConverter : public TFxCustomFaxConverter {};

} // namespace faximage
