// libFuzzer target for the inbox job file and the print system's options.
// Besides not crashing, a job read from any bytes must survive being written
// and read again unchanged, and what it holds must be clean: no control
// character in a line, a document name that stays in the inbox, a number of
// dial characters only.

#include "printinbox/PrintedJob.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

bool clean(const std::string& line) {
  for (char c : line)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
      return false;
  return true;
}

bool same(const printinbox::PrintedJob& a, const printinbox::PrintedJob& b) {
  return a.document == b.document && a.number == b.number && a.title == b.title &&
         a.user == b.user && a.pages == b.pages && a.queueJob == b.queueJob &&
         a.reason == b.reason;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (const auto job = printinbox::ParseJob(text)) {
    if (!clean(job->title) || !clean(job->user) || !clean(job->reason) ||
        job->document.find('/') != std::string::npos || job->document.rfind('.', 0) == 0 ||
        job->number != printinbox::CleanFaxNumber(job->number) || job->pages < 0)
      std::abort();
    const auto again = printinbox::ParseJob(printinbox::FormatJob(*job));
    if (!again || !same(*job, *again))
      std::abort();
  }
  for (const auto& [name, value] : printinbox::ParseQueueOptions(text))
    if (name.empty())
      std::abort();
  return 0;
}
