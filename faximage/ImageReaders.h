#pragma once
// The converter's input readers. Each is created for one conversion with the
// engine's ReaderContext and follows the InputReader contract.

#include "faximage/InputReader.h"

#include <functional>
#include <memory>
#include <string>

namespace faximage {

std::unique_ptr<InputReader> makeBmpReader(ReaderContext& context);
std::unique_ptr<InputReader> makeTiffReader(ReaderContext& context);
std::unique_ptr<InputReader> makePcxReader(ReaderContext& context);
std::unique_ptr<InputReader> makeDcxReader(ReaderContext& context);

struct TextReaderOptions {
  unsigned tabStop = 4;       // 0 keeps 4
  unsigned linesPerPage = 60; // 0 = no limit
  TFaxFont font = ffStandard;
};
std::unique_ptr<InputReader> makeTextReader(ReaderContext& context,
                                            const TextReaderOptions& options);

// Rows supplied by the owner: open, read one row, close.
struct UserReaderCallbacks {
  std::function<void(const std::string& name)> open;
  std::function<void(uint8_t* data, int& length, bool& endOfPage, bool& morePages)> readLine;
  std::function<void()> close;
};
std::unique_ptr<InputReader> makeUserReader(ReaderContext& context, std::string defaultExtension,
                                            UserReaderCallbacks callbacks);

} // namespace faximage
