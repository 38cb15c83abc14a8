#pragma once
// A job printed to the fax queue as the inbox keeps it: the PDF beside a
// small text file of "key=value" lines naming the PDF, the fax number, the
// job's title, its page count, who printed it and, for a job the backend
// refused, why. The backend writes these files and the desktop program reads
// them, so the reader takes any bytes without harm.

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace printinbox {

// The inbox folder inside a data folder.
inline constexpr const char* kInboxFolder = "inbox";
// A job ready to be taken (its PDF is complete), and a refused job whose
// reason the desktop program shows once.
inline constexpr const char* kJobSuffix = ".job";
inline constexpr const char* kFailedSuffix = ".failed";

struct PrintedJob {
  std::string document; // file name of the PDF in the inbox; empty for a refused job
  std::string number;   // fax number to dial, may be empty
  std::string title;    // the job's title, used as the fax subject
  std::string user;     // who printed it
  int pages = 0;
  long queueJob = 0;  // the print system's job number
  std::string reason; // why the job was refused (refused jobs only)
};

// The job's file text; fields are cleaned as by the setters below.
std::string FormatJob(const PrintedJob& job);

// Reads a job file; nullopt when it is no job file (unknown keys are
// skipped, a document name that leaves the inbox makes it no job file).
std::optional<PrintedJob> ParseJob(std::string_view text);

// A print system's option string ("phone=5550100 job-uuid=... 'a b'=c"):
// names and values separated by spaces, values quoted with ' or " and
// characters escaped with a backslash. Options without "=" are true.
std::map<std::string, std::string> ParseQueueOptions(std::string_view options);

// What a fax number keeps of the number a print dialog sent: digits and the
// dial characters + * # , - ( ) space W P T; at most 40 characters.
std::string CleanFaxNumber(std::string_view number);

// A single line of printable text, control characters as spaces, at most
// `limit` bytes (a multi-byte UTF-8 character is never cut).
std::string CleanLine(std::string_view text, std::size_t limit);

} // namespace printinbox
