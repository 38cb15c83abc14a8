// Feeds arbitrary bytes to the RTF reader, then checks that what it read
// survives our own writer and reader unchanged.
#include "richtext/RtfReader.h"
#include "richtext/RtfWriter.h"

#include <QGuiApplication>
#include <QTextDocument>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static QGuiApplication app(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  QTextDocument doc;
  richtext::TPageLayout layout;
  richtext::readRtf(std::string_view(reinterpret_cast<const char*>(data), size), doc, &layout);
  const std::string first = richtext::writeRtf(doc, layout);
  QTextDocument again;
  richtext::TPageLayout layoutAgain;
  richtext::readRtf(first, again, &layoutAgain);
  if (richtext::writeRtf(again, layoutAgain) != first)
    std::abort(); // our own output must read back to the same document
  return 0;
}
