#pragma once
// Shared pieces of the compose tests: a data folder of its own per test, rich
// texts built in an editor, Sent records, independent decoding of fax pages
// with libtiff, and answering modal dialogs the way a user would.

#include "faximage/PageBitmap.h"

#include <QDialog>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <string>

namespace richtext {
class TRichEditor;
}
namespace xbase {
class Table;
}

namespace composetest {

// Each test gets an empty data folder (ProgramDir) and a clean message-box
// hook; the settings are the defaults with a font every machine has.
class DataDirTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;
  QString dir() const { return m_dir.path() + QLatin1Char('/'); }
  // The names of the files in the data folder, sorted.
  QStringList files() const;

private:
  QTemporaryDir m_dir;
};

// The RTF of a document built in an editor.
std::string rtfOf(const std::function<void(richtext::TRichEditor&)>& build);
// A document of the given paragraphs; "\f" as a paragraph marks the next
// paragraph as starting a new page.
std::string rtfOfParagraphs(const QStringList& paragraphs);

// Appends a Sent record with the two memos and makes it current.
void appendSentFax(xbase::Table& sent, const std::string& coverRtf, const std::string& docRtf,
                   const std::string& recipient = "Alice", const std::string& subject = "Test");

// Page n (from 1) of an APF file decoded by our unpacker, and the same coded
// page data wrapped in a TIFF file and decoded by libtiff. Rows of 1728
// pixels. An empty bitmap when libtiff rejects the data.
faximage::PageBitmap decodeWithUnpacker(const QString& apf, int page);
faximage::PageBitmap decodeWithLibtiff(const QString& apf, int page, const QString& tiffPath);
int blackPixels(const faximage::PageBitmap& page, int fromRow = 0, int toRow = -1);

// Runs action on the next modal dialog that opens (a new active modal
// widget), from the event loop; the action must close it. Fails the test
// when none opens within a few seconds.
void onNextModal(const std::function<void(QDialog*)>& action);

// Writes the page as PNG under $TOLVANE_SHOTS_DIR when that is set, for
// looking at rendered pages.
void keepPng(const faximage::PageBitmap& page, const QString& name);

} // namespace composetest
