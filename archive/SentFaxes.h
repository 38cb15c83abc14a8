#pragma once
// The text of sent faxes. A sent fax's pages are made from its record for
// the call and deleted after it, so they are kept for the reader in a
// folder of their own (sent-text/ in the data folder): KEY.apf until the
// reader has read it, then KEY.ocr with what it read (text and word boxes),
// from which the index is made again when it is lost. KEY names the fax's
// contents as its record holds them (app/SentFaxKey); the index knows the
// fax as "sent/KEY".

#include "archive/FaxText.h"

#include <map>
#include <string>

namespace archive {

class ArchiveIndex;
struct FileStamp;

// The index name of a sent fax, and back ("" when the name is another's).
std::string SentFaxName(const std::string& key);
std::string SentFaxKey(const std::string& indexName);

// Keeps the pages of a fax being sent for the reader: a second link to the
// file (a copy where the folder is on another file system), made at once,
// so that sending never waits for reading. Nothing is kept when the fax's
// text is kept already. False when the folder cannot be written.
bool KeepSentFaxPages(const std::string& apfPath, const std::string& sentDir,
                      const std::string& key);

struct SentFaxFiles {
  bool Pages = false; // KEY.apf, still to be read
  bool Text = false;  // KEY.ocr
};
// The sent faxes of the folder by key.
std::map<std::string, SentFaxFiles> SentFaxesIn(const std::string& sentDir);

// Puts the text of a sent fax into the index: read from its pages (which are
// then deleted) or from its text file. True when the index changed.
bool ReadSentFax(ArchiveIndex& index, const TextReader& reader, const std::string& sentDir,
                 const std::string& key);

} // namespace archive
