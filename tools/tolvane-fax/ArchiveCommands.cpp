// tolvane-fax ocr and search: the text of a fax file, and the received faxes
// of a data folder that hold given words. Search first reads every fax the
// index lacks, so it finds what the program would find.
#include "archive/ArchiveIndex.h"
#include "archive/FaxText.h"
#include "archive/OcrWorker.h"
#include "archive/SentFaxes.h"
#include "archive/ocr/FaxOcr.h"
#include "archive/ocr/PageOcr.h"
#include "faximage/ApfFile.h"
#include "platform/ProgramDir.h"
#include "tools/tolvane-fax/CommandLine.h"
#include "tools/tolvane-fax/Commands.h"

#include <cstdio>

namespace cli {

int ocrCommand(const std::vector<std::string>& args) {
  const CommandLine cl(args, {"lang"}, {});
  if (cl.positional().size() != 1)
    throw UsageError("ocr wants one APF file");
  archive::PageOcr ocr(cl.value("lang", "eng"));
  const archive::FaxText text = archive::ReadFaxText(ocr, cl.positional()[0]);
  for (std::size_t i = 0; i < text.Pages.size(); ++i) {
    if (text.Pages.size() > 1)
      std::printf("--- page %zu\n", i + 1);
    std::fputs(text.Pages[i].c_str(), stdout);
  }
  return 0;
}

int searchCommand(const std::vector<std::string>& args) {
  const CommandLine cl(args, {"data-dir", "lang"}, {});
  if (cl.positional().empty())
    throw UsageError("search wants words to look for");
  if (cl.has("data-dir"))
    platform::setProgramDir(cl.value("data-dir"));
  const std::string dir = platform::ProgramDir();
  const std::string receive = dir + "receive/";
  const archive::FaxFolders folders{receive, dir + "sent-text/"};
  archive::ArchiveIndex index(dir + "archive.sqlite", true);
  if (index.Rebuilt())
    std::fprintf(stderr, "The search index was damaged and is made anew from the faxes.\n");
  const auto unread = archive::UnreadFaxes(index, folders);
  if (!unread.empty()) {
    const archive::TextReader reader = archive::MakeTextReader(cl.value("lang", "eng"));
    int n = 0;
    for (const std::string& name : unread) {
      std::fprintf(stderr, "Reading %s (%d of %zu)\n", name.c_str(), ++n, unread.size());
      try {
        archive::ReadIntoIndex(index, reader, folders, name);
      } catch (const archive::IndexError&) {
        throw;
      } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", name.c_str(), e.what());
      }
    }
  }
  std::string words;
  for (const std::string& w : cl.positional())
    words += w + " ";
  const auto found = index.Search(words);
  for (const std::string& name : found) {
    if (const std::string key = archive::SentFaxKey(name); !key.empty()) {
      std::printf("sent fax %s\n", key.c_str());
      continue;
    }
    faximage::ApfFileHeader header;
    const bool read = faximage::readApfFileHeader(receive + name, header) == 0;
    std::printf("%s\t%u page(s)\t%s\n", (receive + name).c_str(), read ? header.pageCount : 0,
                read ? header.stationId().c_str() : "");
  }
  return found.empty() ? 1 : 0;
}

} // namespace cli
