#pragma once
// The writes of the fax tables' records, one function per change a window
// makes. Each change is a unit: it is posted whole, or any failure cancels
// the record buffer (the table keeps what it held before) and is thrown on
// with its reason, for the window to show while it keeps the user's work.

#include <functional>
#include <string>
#include <vector>

namespace xbase {
class Table;
}

namespace app {

// Runs change() (which starts with append() or edit() and ends with post());
// on any exception cancels the pending buffer and rethrows.
void WriteRecord(xbase::Table& table, const std::function<void()>& change);

// The outcome of a send attempt as the Sent record keeps it.
struct SendOutcome {
  int Pages = 0;
  std::string Result; // "OK"/"Sent" mark the fax sent
  std::string Date;   // YYYYMMDD of the attempt
  std::string Time;   // HH:MM
  bool Succeeded() const;
};
void WriteSendOutcome(xbase::Table& sent, long recNo, const SendOutcome& outcome);

// A received fax as the Received table keeps it.
struct ReceivedFaxEntry {
  std::string Date; // YYYYMMDD
  std::string Time; // HH:MM
  std::string From;
  int Pages = 0;
  std::string FaxFile; // the file's name in receive/
  std::string Notes;   // written only when not empty
};
void AppendReceivedFax(xbase::Table& received, const ReceivedFaxEntry& entry);
void WriteReceivedNotes(xbase::Table& received, long recNo, const std::string& notes);

// The APF files in receiveDir that no visible record of the Received table
// names (letter case ignored), oldest first, skipping `busyFile` (a fax
// being received now). The table's position is kept.
std::vector<std::string> UnlistedReceivedFiles(xbase::Table& received,
                                               const std::string& receiveDir,
                                               const std::string& busyFile = {});
// The record for such a file: date and time of its last change, pages and
// remote ID from its header (0 and "" when the header cannot be read).
ReceivedFaxEntry EntryForReceivedFile(const std::string& path);

} // namespace app
