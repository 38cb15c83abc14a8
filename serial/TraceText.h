#pragma once
// Text rules shared by the trace and dispatch-log files: how a data byte is
// written (itself, or as a bracketed code) and how lines wrap.

#include <cstdint>
#include <string>

namespace serial {

// Appends the text of one data byte to `out` and returns its width. With
// `hex` a printable byte is '!'..'~' (so a space is coded too) and others are
// "[hh]"; without it ' '..'~' are printable and others are "[decimal]".
int appendByteText(std::string& out, uint8_t byte, bool hex);

// Width appendByteText would give.
int byteTextWidth(uint8_t byte, bool hex);

// Writes data items onto lines of at most 78 columns. A line that would pass
// column 78 is broken first; continuation lines start with `indent` spaces.
class WrappedLine {
public:
  WrappedLine(std::string& out, int indent, int startColumn)
      : m_out(out), m_indent(indent), m_column(startColumn) {}
  void add(uint8_t byte, bool hex);
  int column() const { return m_column; }

private:
  std::string& m_out;
  int m_indent;
  int m_column;
};

constexpr int kLineLimit = 78;

} // namespace serial
