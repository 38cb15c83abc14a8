#pragma once
// The line side of a Class 2 modem: spandsp's T.30 engine with its fax
// modems, run on line audio, plus what a Class 2 modem needs beyond a plain
// fax terminal:
// - a V.21 listener that sees each frame from the far end one block before
//   the T.30 engine does, so the modem can hold the engine where the DTE
//   must act first (a DCS goes out only after +FDT);
// - page data streamed from the DTE instead of read from an image file, and
//   received page data handed out as it comes off the line;
// - with error correction, pages taken whole into the modem's memory before
//   they go out, and received blocks handed out as each is confirmed.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sim/class2/FillPoints.h"

struct t4_state_s;
struct fax_state_s;
struct t30_state_s;

namespace tolvane::sim {

class T30Line {
public:
  struct Config {
    bool calling = true;
    std::string localId;
    int maxBitRate = 5;   // BR code
    std::string tempFile; // image file from which the engine learns the page format
  };
  struct Callbacks {
    // Every T.30 frame, as the engine receives (incoming) or sends it.
    std::function<void(bool incoming, const uint8_t* frame, int len)> frame;
    // The listener saw a frame from the far end; return true to hold the
    // engine before it handles the frame.
    std::function<bool(const uint8_t* frame, int len)> holdBefore;
    // Data of a received page in line order (first bit in the least
    // significant bit), from its first EOL, as it arrives; with error
    // correction the frames of each block once the block is confirmed.
    std::function<void(const uint8_t* data, size_t len)> pageData;
    // The call ended (spandsp completion code).
    std::function<void(int completion)> end;
  };

  T30Line(Config config, Callbacks callbacks);
  ~T30Line();
  T30Line(const T30Line&) = delete;
  T30Line& operator=(const T30Line&) = delete;

  int tx(int16_t* amp, int max);
  void rx(const int16_t* amp, int len);

  bool held() const { return m_held; }
  // The codings the engine offers (answering) or may choose (calling): data
  // format 0 MH, 1 MR as well, 3 MMR as well; and error correction.
  void setCoding(int df, bool ecm);
  // Starts the document: the engine, held at the far end's DIS, goes on to
  // DCS and training with this page format.
  bool startDocument(int width, bool fine);
  // Pages stream: coded rows in line order (first bit in the least
  // significant bit) as the DTE sends them, then the end of the page.
  void beginStreamedPage();
  void streamData(const uint8_t* data, size_t len);
  void streamComplete();
  void endStreamedPage(bool more);
  // Page data taken from the DTE but not yet on the line, in bytes.
  size_t queuedBytes();
  // All page data the DTE has given so far has gone out on the line.
  bool pageDataSent();
  // With error correction: the whole of the next page, in line order and
  // with its end code, and whether pages follow. The engine, held at the
  // far end's CFR or at its confirmation of the last page, sends it.
  void sendWholePage(std::vector<uint8_t> data, bool more);
  // Lets a held engine go on without a new page.
  void release();
  // Ends the call from this side (DCN where the protocol allows it).
  void terminate();
  bool finished() const { return m_finished; }
  // Rows of the page received last (its EOLs less the six of RTC, or as the
  // engine counted them with error correction) and the rows the engine found
  // damaged.
  void lastPageRows(int& rows, int& bad) const;

private:
  struct Engine;
  // Sits between an image modem and the engine (see T30LineTap.cpp).
  struct Tap {
    T30Line* line = nullptr;
    void (*original)(void*, int) = nullptr;
    void* originalUser = nullptr;
    static void bit(void* user, int b);
  };
  void installTaps();
  void tappedBit(int b);
  void appendTapBit(int b);
  void deliverTapped();
  void feed(const int16_t* amp, int len);
  bool writeFormatFile(int width, bool fine);
  void syncRowSource();
  t4_state_s& txImage();
  t30_state_s& t30();
  fax_state_s& faxState();
  void commitStream(size_t upTo);
  void finishStream();
  void startStreamIfBegun();
  void pumpStream();
  void keepWhileHeld(const std::vector<int16_t>& block);
  static bool appendImage(t4_state_s& t4, const uint8_t* data, size_t len);
  // error correction (T30LineEcm.cpp)
  void loadWholePage();
  void rebuildEcmBlock();
  void storeEcmFrame(const uint8_t* frame, int len);
  void deliverEcmBlock();
  void notePageEnd();

  static constexpr size_t kMaxHeldSamples = 8 * 8000;
  static constexpr int64_t kFreshDisSamples = 6400;    // 0.8 s
  static constexpr size_t kRepeatedDisSamples = 28000; // 3.5 s: one whole DIS burst

  Config m_config;
  Callbacks m_cb;
  std::unique_ptr<Engine> m_engine;
  std::vector<int16_t> m_pending; // block the engine gets next (it runs one block behind)
  std::vector<int16_t> m_heldAudio;
  bool m_held = false;
  bool m_holdRequested = false;
  bool m_holdOnDis = false;         // held before a DIS (else before a post-page response)
  bool m_disInBlock = false;        // the listener completed a DIS in the current block
  bool m_disRepeated = false;       // the far end repeated its DIS during the hold
  bool m_releaseWanted = false;     // page ready, waiting for the far end's next DIS
  std::vector<int16_t> m_heldFrame; // the audio that holds the frame we stopped at
  int64_t m_samplesSinceDis = 0;
  bool m_finished = false;
  bool m_morePages = false;
  bool m_twoDim = false;
  bool m_ecm = false;    // sending: pages go whole, in error correction blocks
  uint8_t m_heldFcf = 0; // the far end's frame the engine is held at

  // error correction
  std::vector<uint8_t> m_wholePage; // the next page to send
  bool m_wholePageReady = false;
  std::vector<std::vector<uint8_t>> m_ecmFrames; // received frames of the block, by number
  int m_ecmRows = -1;                            // rows of the last received page, by the engine
  int m_ecmBadRows = 0;

  // streamed page
  bool m_streamPageBegun = false; // the engine has just started a page
  bool m_streamActive = false;    // its image is fed from the stream
  bool m_streamEnding = false;    // the DTE has said what follows the page
  bool m_streamComplete = false;  // the DTE has sent all of the page
  std::vector<uint8_t> m_streamData;
  FillPoints m_fillPoints;
  size_t m_streamBase = 0;      // stream position of m_streamData[0]
  size_t m_streamCommitted = 0; // stream bytes handed to the engine
  int m_dataEnd = 0;            // end of the DTE's data in the engine's image
  int m_pageIndex = -1;         // page of the call the DTE is on, from 0

  // received page data
  std::vector<std::unique_ptr<Tap>> m_taps; // stable addresses: spandsp keeps them
  bool m_expectPage = false;                // the next image carrier holds a page
  bool m_tapInPage = false;
  int m_tapZeros = 0;
  int m_tapEols = 0; // EOLs of the page being received
  std::vector<uint8_t> m_tapBytes;
  size_t m_tapBits = 0;
};

} // namespace tolvane::sim
