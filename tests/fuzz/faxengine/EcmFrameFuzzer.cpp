// The ECM frame reader on arbitrary received bytes: whatever comes in, the
// frame map, PPR map and block data stay consistent. The input is also sent
// as a page through the ECM framing and must come back whole.

#include "faxengine/EcmBlockReader.h"
#include "faxengine/EcmPage.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

using namespace faxengine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  EcmBlockReader reader;
  reader.Put(data, size);
  for (int frames : {1, 17, 256}) {
    uint8_t map[kPprMapBytes];
    reader.MissingMap(frames, map);
    bool missing = false;
    for (uint8_t b : map)
      missing = missing || b != 0;
    if (missing == reader.Complete(frames))
      std::abort();
    if (reader.Data(frames).size() > static_cast<size_t>(frames) * 256)
      std::abort();
  }

  // Round trip: the bytes as a page in 64-octet frames (blocks of 256).
  EcmPage page;
  page.Set(std::vector<uint8_t>(data, data + size), 64);
  std::vector<uint8_t> back;
  for (;; page.NextBlock()) {
    const std::vector<uint8_t> stream = page.BlockStream(nullptr);
    EcmBlockReader rx;
    rx.Put(stream.data(), stream.size());
    const int frames = page.FramesInBlock();
    if (!rx.Complete(frames) || !rx.EndSeen() || rx.BadFrames() != 0)
      std::abort();
    const std::vector<uint8_t> got = rx.Data(frames);
    back.insert(back.end(), got.begin(), got.end());
    if (page.LastBlock())
      break;
  }
  if (back != std::vector<uint8_t>(data, data + size))
    std::abort();
  return 0;
}
