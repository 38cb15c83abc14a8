#pragma once
// Errors raised by the table engine. Every failure of an engine operation
// surfaces as an XBaseError carrying one of these codes, so callers can tell
// a locked table from a damaged one without parsing texts.

#include <stdexcept>
#include <string>

namespace xbase {

enum class ErrorCode {
  Io,            // the operating system refused a read, write, open or rename
  Locked,        // the table is already open (here or in another process)
  BadTable,      // the DBF header or its field list is not a table we can read
  BadMemo,       // the FPT memo file or a memo block is damaged
  BadIndex,      // the CDX file or one of its nodes is damaged
  BadExpression, // a key, FOR or filter expression we cannot parse or evaluate
  NoField,       // a field name the table does not have
  NoTag,         // a tag name the index does not have
  State,         // the operation does not fit the table's state (not open, not editing, ...)
  Range,         // a record number or value outside what the table holds
};

class XBaseError : public std::runtime_error {
public:
  XBaseError(ErrorCode code, const std::string& message)
      : std::runtime_error(message), m_code(code) {}
  ErrorCode code() const noexcept { return m_code; }

private:
  ErrorCode m_code;
};

} // namespace xbase
