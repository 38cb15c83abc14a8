#include "RandomWorkload.h"

#include "XbaseTestSupport.h"

#include <cstdio>

using namespace xbase;

namespace xbtest {

namespace {

const char* const kWords[] = {"Anders",    "Baker",  "Chen",   "D\xFCrr", "Evans", "Fischer",
                              "Garcia",    "Horvat", "Ito",    "Jensen",  "Kowal", "Lopez",
                              "M\xFCller", "Nagy",   "O'Neil", "Perez",   "Quinn", "Rossi"};

} // namespace

RandomWorkload::RandomWorkload(const std::string& dir, uint32_t seed) : m_dir(dir), m_rng(seed) {
  for (size_t i = 0; i < kTables; ++i) {
    m_tables[i] = std::make_unique<Table>();
    createFaxTable(FaxTable(i), dir, *m_tables[i]);
  }
}

std::string RandomWorkload::path(size_t i) const {
  return m_dir + "/" + faxTableFile(FaxTable(i));
}

void RandomWorkload::reopen(size_t i) {
  m_tables[i]->open(path(i));
  m_tables[i]->setOrder(1);
}

// Few distinct values: many equal keys, which then span leaf pages.
std::string RandomWorkload::name() {
  std::string n = kWords[m_rng() % std::size(kWords)];
  if (m_rng() % 3)
    n += std::string(" ") + kWords[m_rng() % std::size(kWords)];
  if (m_rng() % 4 == 0)
    n += " " + std::to_string(m_rng() % 50);
  return n;
}

std::string RandomWorkload::date() {
  if (m_rng() % 8 == 0)
    return "";
  char buf[9];
  std::snprintf(buf, sizeof buf, "20%02u%02u%02u", unsigned(m_rng() % 5 + 20),
                unsigned(m_rng() % 12 + 1), unsigned(m_rng() % 28 + 1));
  return buf;
}

std::string RandomWorkload::time() {
  char buf[6];
  std::snprintf(buf, sizeof buf, "%02u:%02u", unsigned(m_rng() % 24), unsigned(m_rng() % 4 * 15));
  return buf;
}

// Sets the key fields (and now and then a memo) of the record buffer.
void RandomWorkload::fill(size_t i) {
  Table& t = *m_tables[i];
  switch (i) {
  case 0:
    t.setDate("DATESENT", date());
    t.setField("TIMESENT", time());
    t.setField("SUBJECT", name());
    t.setLogical("SENT", m_rng() % 2);
    if (m_rng() % 4 == 0)
      t.setMemo("RTFDOC", std::string(m_rng() % 700, char('a' + m_rng() % 26)));
    break;
  case 1:
    t.setDate("DATEREC", date());
    t.setField("TIMEREC", time());
    t.setField("FROM", name());
    t.setNumber("PAGES", double(m_rng() % 100));
    break;
  case 2:
    t.setField("DESCRIPT", name());
    if (m_rng() % 3 == 0)
      t.setMemo("COVER", "{\\rtf1 " + name() + "}");
    break;
  default:
    t.setField("NAME", name());
    t.setField("PHONE", std::to_string(m_rng() % 100000));
  }
}

void RandomWorkload::append(size_t i) {
  m_tables[i]->append();
  fill(i);
  m_tables[i]->post();
}

void RandomWorkload::edit(size_t i) {
  m_tables[i]->edit();
  fill(i);
  m_tables[i]->post();
}

long RandomWorkload::pickRecord(size_t i) {
  long count = m_tables[i]->recCount();
  return count ? long(m_rng() % uint32_t(count)) + 1 : 0;
}

size_t RandomWorkload::step() {
  ++m_steps;
  size_t i = m_rng() % kTables;
  Table& t = *m_tables[i];
  long count = t.recCount();
  unsigned op = m_rng() % 1000;
  unsigned appendShare = count < 300 ? 450 : count < 700 ? 300 : 200;
  long recNo = pickRecord(i);
  std::string what;
  if (op < appendShare || recNo == 0) {
    what = "append";
    append(i);
  } else if (op < 990) {
    t.go(recNo);
    unsigned kind = m_rng() % 100;
    if (kind < 45) {
      what = "edit";
      edit(i);
    } else if (kind < 80) {
      what = "delete";
      t.deleteRecord();
    } else {
      what = "recall";
      t.recall();
    }
    what += " " + std::to_string(recNo);
  } else if (op < 992 && count > 250) { // a pack syncs its files: the slowest step
    what = "pack";
    t.pack();
  } else {
    what = "reopen";
    t.close();
    reopen(i);
  }
  m_last = "step " + std::to_string(m_steps) + ": " + what + " in " + faxTableFile(FaxTable(i));
  return i;
}

} // namespace xbtest
