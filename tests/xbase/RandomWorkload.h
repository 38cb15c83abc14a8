#pragma once
// A seeded, reproducible sequence of appends, edits, deletes, recalls, packs
// and reopenings over the four fax tables (Sent, Received, Cover, Phone),
// each with its tag as the program creates it. Key values repeat often, so
// equal keys run across pages, and tables stay a few hundred records large
// (packs and deletes keep pace with appends), deep enough for branch pages.

#include "xbase/Table.h"

#include <array>
#include <memory>
#include <random>
#include <string>

namespace xbtest {

class RandomWorkload {
public:
  static constexpr size_t kTables = 4;

  RandomWorkload(const std::string& dir, uint32_t seed);

  // Runs one step and returns the position of the table it worked on.
  size_t step();
  long steps() const { return m_steps; }
  xbase::Table& table(size_t i) { return *m_tables[i]; }
  std::string path(size_t i) const;
  const std::string& lastStep() const { return m_last; } // for failure messages
  // Closes table i and opens it again (to plant damage between the two).
  void close(size_t i) { m_tables[i]->close(); }
  void reopen(size_t i);

private:
  void append(size_t i);
  void edit(size_t i);
  void fill(size_t i);
  long pickRecord(size_t i);
  std::string name();
  std::string date();
  std::string time();

  std::string m_dir;
  std::mt19937 m_rng;
  std::array<std::unique_ptr<xbase::Table>, kTables> m_tables;
  long m_steps = 0;
  std::string m_last;
};

} // namespace xbtest
