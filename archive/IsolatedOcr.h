#pragma once
// Reading a fax's text in a child process: the OCR engine stops its process
// on internal errors (and a damaged fax can lead it there), which must never
// take the program with it, nor a call in progress.

#include "archive/FaxText.h"

namespace archive {

// A reader that forks for each fax, loads the OCR module in the child and
// takes the pages' texts back through a pipe. A child that fails or is
// stopped (at most 300 s of CPU per fax) is a std::runtime_error.
TextReader IsolatedOcrReader(const std::string& language);

} // namespace archive
