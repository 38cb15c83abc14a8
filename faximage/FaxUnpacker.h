#pragma once
// TFxFaxUnpacker: the non-visual unpacker component. It keeps one unpacker
// engine, rebuilds it from its properties before every operation, and turns
// negative codes into exceptions. The fax printer uses it; the viewer uses
// the engine directly.

#include "faximage/PageBitmap.h"
#include "faximage/UnpackerEngine.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace faximage {

enum TUnpackerOptions : unsigned { uoYield = 1, uoAbort = 2 };
using TUnpackerOptionsSet = unsigned; // bits of TUnpackerOptions

enum TAutoScaleMode { asNone = 0, asDoubleHeight = 1, asHalfWidth = 2 };

class TFxCustomFaxUnpacker;

using TUnpackOutputLineEvent =
    std::function<void(TFxCustomFaxUnpacker* sender, bool starting, bool ending,
                       const uint8_t* data, int len, int pageNum)>;
using TUnpackStatusEvent =
    std::function<void(TFxCustomFaxUnpacker* sender, const std::string& fName, int pageNum,
                       long bytesUnpacked, long bytesToUnpack)>;

class TFxCustomFaxUnpacker {
public:
  TFxCustomFaxUnpacker();
  virtual ~TFxCustomFaxUnpacker();
  TFxCustomFaxUnpacker(const TFxCustomFaxUnpacker&) = delete;
  TFxCustomFaxUnpacker& operator=(const TFxCustomFaxUnpacker&) = delete;

  // PageCount of InFileName; 0 when the header cannot be read.
  int CountPages();
  bool FirstPageIsFine();
  bool FirstPageIsWide();
  // Page n as a new bitmap owned by the caller (1 = black).
  std::unique_ptr<PageBitmap> PageToBitmap(int page);
  // Page n row by row through OnOutputLine: a Starting call, one call per
  // row, an Ending call. Keeps only one row in memory.
  void UnpackPage(int page);

  TUnpackerOptionsSet Options() const { return m_options; }
  void SetOptions(TUnpackerOptionsSet options);
  bool WhitespaceCompression = false;
  unsigned WhitespaceFrom = 0;
  unsigned WhitespaceTo = 0;
  bool Scaling = false;
  unsigned HorizMult() const { return m_horizMult; }
  unsigned HorizDiv() const { return m_horizDiv; }
  unsigned VertMult() const { return m_vertMult; }
  unsigned VertDiv() const { return m_vertDiv; }
  void SetHorizMult(unsigned v) { setFactor(m_horizMult, v); }
  void SetHorizDiv(unsigned v) { setFactor(m_horizDiv, v); }
  void SetVertMult(unsigned v) { setFactor(m_vertMult, v); }
  void SetVertDiv(unsigned v) { setFactor(m_vertDiv, v); }
  TAutoScaleMode AutoScaleMode = asDoubleHeight;
  const std::string& InFileName() const { return m_inFileName; }
  void SetInFileName(const std::string& name);
  std::string OutFileName;
  TUnpackOutputLineEvent OnOutputLine;
  TUnpackStatusEvent OnStatus;

  // The engine of the last operation (its counters describe the last page).
  const UnpackerEngine* Engine() const { return m_engine.get(); }

protected:
  virtual void OutputLine(bool starting, bool ending, const uint8_t* data, int len, int pageNum);
  virtual void Status(const std::string& fName, int pageNum, long bytesUnpacked,
                      long bytesToUnpack);

private:
  static void setFactor(unsigned& factor, unsigned v) {
    if (v != 0)
      factor = v;
  }
  void prepareEngine();
  uint16_t firstPageFlags();

  TUnpackerOptionsSet m_options = uoYield;
  unsigned m_horizMult = 1, m_horizDiv = 1, m_vertMult = 1, m_vertDiv = 1;
  std::string m_inFileName;
  std::unique_ptr<UnpackerEngine> m_engine;
};

class TFxFaxUnpacker : public TFxCustomFaxUnpacker {};

} // namespace faximage
