#include "richtext/RtfReader.h"

#include "richtext/RtfParser.h"

namespace richtext {

bool readRtf(std::string_view data, QTextDocument& doc, TPageLayout* layout) {
  const bool looksLikeRtf = data.substr(0, 5) == "{\\rtf";
  rtf::RtfParser parser(data, doc);
  parser.run(layout);
  return looksLikeRtf;
}

} // namespace richtext
