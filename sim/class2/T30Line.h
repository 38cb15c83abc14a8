#pragma once
// The line side of a Class 2 modem: spandsp's T.30 engine with its fax
// modems, run on line audio, plus what a Class 2 modem needs beyond a plain
// fax terminal:
// - a V.21 listener that sees each frame from the far end one block before
//   the T.30 engine does, so the modem can hold the engine at a point where
//   the DTE must act first (the first page must be in hand when the far
//   end's DIS arrives; the next page when its MCF arrives);
// - page rows from the DTE instead of an image file, and received rows
//   handed out as they are decoded.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sim/class2/MhCodec.h"

namespace tolvane::sim {

class T30Line {
public:
  struct Config {
    bool calling = true;
    std::string localId;
    int maxBitRate = 5;   // BR code
    std::string tempFile; // image file the engine opens for the first page
  };
  struct Callbacks {
    // Every T.30 frame, as the engine receives (incoming) or sends it.
    std::function<void(bool incoming, const uint8_t* frame, int len)> frame;
    // The listener saw a frame from the far end; return true to hold the
    // engine before it handles the frame.
    std::function<bool(const uint8_t* frame, int len)> holdBefore;
    // A received page row.
    std::function<void(const mh::Row& row)> row;
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
  // Gives the engine the page to send next, then lets a held engine go on.
  // more: whether further pages follow this one in the call.
  bool supplyPage(std::vector<mh::Row> rows, int width, bool fine, bool more);
  // Lets a held engine go on without a new page.
  void release();
  // Ends the call from this side (DCN where the protocol allows it).
  void terminate();
  bool finished() const { return m_finished; }

private:
  struct Engine;
  void feed(const int16_t* amp, int len);
  bool writeFirstPage(const std::vector<mh::Row>& rows, int width, bool fine);
  void syncRowSource();

  Config m_config;
  Callbacks m_cb;
  std::unique_ptr<Engine> m_engine;
  std::vector<int16_t> m_pending; // block the engine gets next (it runs one block behind)
  std::vector<int16_t> m_heldAudio;
  bool m_held = false;
  bool m_holdRequested = false;
  bool m_finished = false;
  bool m_firstPageGiven = false;
  bool m_rowSourceWanted = false;
  int m_pageIndex = 0;
  bool m_morePages = false;
  std::vector<mh::Row> m_rows;
  size_t m_nextRow = 0;
};

} // namespace tolvane::sim
