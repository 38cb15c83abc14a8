// tolvane-fax ocr and search: the text of a fax file, and the received and
// sent faxes of a data folder that hold given words. Search first reads
// every fax the index lacks, so it finds what the program would find.
#include "archive/ArchiveIndex.h"
#include "archive/FaxText.h"
#include "archive/OcrWorker.h"
#include "archive/SentFaxes.h"
#include "archive/ocr/FaxOcr.h"
#include "archive/ocr/PageOcr.h"
#include "core/FaxTables.h"
#include "core/SentFaxKey.h"
#include "faximage/ApfFile.h"
#include "platform/ProgramDir.h"
#include "tools/tolvane-fax/CommandLine.h"
#include "tools/tolvane-fax/Commands.h"
#include "xbase/FileIo.h"
#include "xbase/Table.h"

#include <cstdio>
#include <map>

namespace cli {

namespace {

// The sent faxes of the data folder by their text's key: "subject, tab,
// recipient, tab, number" as the Sent list shows them. Empty when the
// folder has no Sent table (none is made here) or it cannot be opened.
std::map<std::string, std::string> sentFaxes(const std::string& dir) {
  std::map<std::string, std::string> found;
  try {
    if (xbase::findAnyCase(dir + "TOV.DBF").empty())
      return found;
  } catch (const std::exception&) {
    return found;
  }
  xbase::Table table;
  try {
    if (!app::OpenFaxDBF(table))
      return found;
    for (table.first(); !table.eof(); table.next())
      found[app::SentFaxKey(table)] = table.fieldString("SUBJECT") + "\t" +
                                      table.fieldString("RECIPIENT") + "\t" +
                                      table.fieldString("PHONE");
  } catch (const std::exception&) {
    // A table that cannot be read leaves its faxes named by key.
  }
  return found;
}

} // namespace

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
  std::map<std::string, std::string> sent;
  for (const std::string& name : found) {
    if (const std::string key = archive::SentFaxKey(name); !key.empty()) {
      if (sent.empty())
        sent = sentFaxes(dir);
      const auto record = sent.find(key);
      std::printf("sent\t%s\n", record != sent.end() ? record->second.c_str() : key.c_str());
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
