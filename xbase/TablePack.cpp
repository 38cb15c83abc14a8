// Packing: a new table and memo file are written beside the old ones with
// only the records that carry no deletion mark, then swapped in by rename.
//
// The two renames are made safe together by a marker file written after both
// new files are complete and synced: an open that finds the marker finishes
// the renames, one that finds new files without it throws them away. So a
// crash leaves either the old pair or the new pair, never one of each.

#include "xbase/TableImpl.h"

#include "xbase/XBaseError.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace xbase {

namespace {

std::string packedName(const std::string& path) {
  return path + ".packed";
}
std::string markerName(const std::string& dbfPath) {
  return dbfPath + ".packing";
}

void renameOrThrow(const std::string& from, const std::string& to) {
  if (std::rename(from.c_str(), to.c_str()) != 0)
    throw XBaseError(ErrorCode::Io, "cannot rename " + from + ": " + std::strerror(errno));
}

} // namespace

void finishInterruptedPack(const std::string& dbfPath, const std::string& fptPath) {
  if (fileExists(markerName(dbfPath))) {
    if (fileExists(packedName(fptPath)))
      renameOrThrow(packedName(fptPath), fptPath);
    if (fileExists(packedName(dbfPath)))
      renameOrThrow(packedName(dbfPath), dbfPath);
    std::remove(markerName(dbfPath).c_str());
  } else {
    std::remove(packedName(fptPath).c_str());
    std::remove(packedName(dbfPath).c_str());
  }
}

// Copies the records without the deletion mark, and their memos, into the
// new files; returns how many were kept.
static uint32_t copyLiveRecords(DbfFile& dbf, MemoFile& memo, MemoFile& newMemo,
                                std::string& records) {
  std::string image;
  uint32_t kept = 0;
  for (uint32_t r = 1; r <= dbf.recordCount(); ++r) {
    dbf.read(r, image);
    if (image[0] == '*')
      continue;
    for (const auto& f : dbf.fields()) {
      if (f.type != 'M')
        continue;
      std::string bytes = memo.read(parseMemoPointer(image.data() + f.offset, f.width));
      formatMemoPointer(newMemo.write(bytes), image.data() + f.offset, f.width);
    }
    records += image;
    ++kept;
  }
  return kept;
}

void Table::pack() {
  m->requireOpen();
  if (m->state != TableState::Browse)
    post();
  DbfFile& dbf = m->dbf;
  const std::string dbfPath = m->path;
  bool memo = dbf.hasMemo();
  // By name, not by the open memo file: after a pack that one still carries
  // the name it was written under.
  const std::string fptPath = memo ? companionPath(dbfPath, "FPT") : std::string();

  File newDbf;
  newDbf.open(packedName(dbfPath), true);
  newDbf.lockExclusive(); // held across the rename: the table is never unlocked
  newDbf.truncate(0);
  std::string header(dbf.headerLength(), '\0');
  dbf.file().readAt(0, header.data(), header.size());
  newDbf.writeAt(0, header.data(), header.size());
  MemoFile newMemo;
  if (memo) {
    File f;
    f.open(packedName(fptPath), true);
    MemoFile::create(f, m->memo.blockSize());
    newMemo.open(std::move(f));
  }
  std::string records;
  uint32_t kept = copyLiveRecords(dbf, m->memo, newMemo, records);
  DbfFile packed;
  packed.open(std::move(newDbf));
  packed.writeAll(records, kept);
  packed.file().sync();
  if (memo)
    newMemo.file().sync();

  File marker;
  marker.open(markerName(dbfPath), true);
  marker.sync();
  marker.close();
  if (memo)
    renameOrThrow(packedName(fptPath), fptPath);
  renameOrThrow(packedName(dbfPath), dbfPath);
  std::remove(markerName(dbfPath).c_str());

  dbf.close();
  dbf.open(std::move(packed.file()));
  if (memo) {
    m->memo.close();
    m->memo = std::move(newMemo);
  }
  if (m->cdx.isOpen())
    m->rebuildIndex();
  first();
}

} // namespace xbase
