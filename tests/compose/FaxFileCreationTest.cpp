// Building the fax file of a stored fax: pages of cover and document drawn,
// converted, joined into one APF file that libtiff decodes; no temporary file
// left after success or after a failure at any step.
#include "compose/FaxFileCreation.h"
#include "ComposeSupport.h"
#include "core/FaxTables.h"
#include "widgets/MessageBoxes.h"
#include "faximage/ApfFile.h"
#include "faximage/FaxConverter.h"
#include "faximage/FaxUnpacker.h"
#include "platform/FxErrors.h"
#include "platform/PendingEvents.h"
#include "richtext/RichEditor.h"
#include "xbase/Table.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QWidget>

using namespace composetest;

namespace {

class FaxFileCreation : public DataDirTest {
protected:
  void SetUp() override {
    DataDirTest::SetUp();
    ASSERT_TRUE(app::OpenFaxDBF(m_sent));
    m_tableFiles = files();
  }
  void TearDown() override {
    m_sent.close();
    DataDirTest::TearDown();
  }
  QString create(int& pages) {
    compose::TFaxFileJob job{m_sent, m_cover, m_doc, m_converter};
    job.ButtonBar = &m_buttonBar;
    job.ShowStatus = [this](const QString& s) { m_status << s; };
    return compose::CreateFaxFile(job, pages);
  }
  // What the data folder holds besides the tables.
  QStringList extraFiles() const {
    QStringList now = files();
    for (const QString& f : m_tableFiles)
      now.removeAll(f);
    return now;
  }

  xbase::Table m_sent;
  richtext::TRichEditor m_cover;
  richtext::TRichEditor m_doc;
  faximage::TFxFaxConverter m_converter;
  QWidget m_buttonBar;
  QStringList m_status;
  QStringList m_tableFiles;
};

const QStringList kCover = {QStringLiteral("FAX COVER SHEET"), QStringLiteral("To: Alice Example"),
                            QStringLiteral("Pages: 3")};

QStringList lines(int n, const QString& prefix) {
  QStringList out;
  for (int i = 1; i <= n; ++i)
    out << QStringLiteral("%1 line %2 of the quick brown fox").arg(prefix).arg(i);
  return out;
}

} // namespace

TEST_F(FaxFileCreation, CoverAndTwoPageDocumentBecomeOneThreePageFileLibtiffDecodes) {
  // 70 lines of 12 point text need two pages of 10 inches.
  appendSentFax(m_sent, rtfOfParagraphs(kCover), rtfOfParagraphs(lines(70, QStringLiteral("Doc"))));
  int pages = -1;
  const QString name = create(pages);
  EXPECT_EQ(name, dir() + QStringLiteral("TOV_1.APF"));
  EXPECT_EQ(pages, 3);
  faximage::ApfFileHeader header;
  ASSERT_EQ(faximage::readApfFileHeader(name.toStdString(), header), 0);
  EXPECT_EQ(header.pageCount, 3);
  // Only the fax file is left: no page files, no bitmap file.
  EXPECT_EQ(extraFiles(), QStringList{QStringLiteral("TOV_1.APF")});
  EXPECT_TRUE(m_buttonBar.isEnabled());
  EXPECT_EQ(m_status.first(), QStringLiteral("Creating fax file"));
  EXPECT_EQ(m_status.last(), QString());

  const int coverInk = blackPixels(decodeWithUnpacker(name, 1));
  for (int p = 1; p <= 3; ++p) {
    const faximage::PageBitmap ours = decodeWithUnpacker(name, p);
    const faximage::PageBitmap theirs =
        decodeWithLibtiff(name, p, dir() + QStringLiteral("page%1.tif").arg(p));
    ASSERT_FALSE(theirs.empty()) << "libtiff rejected page " << p;
    EXPECT_EQ(theirs.height(), 2156) << p;
    EXPECT_TRUE(ours == theirs) << "libtiff decodes page " << p << " differently";
    // The black corner pixel of the 1664 x 2156 page bitmap, which the
    // converter places after its left margin: the last row's only ink.
    const int corner = 1663 + int(m_converter.LeftMargin());
    EXPECT_TRUE(theirs.pixel(corner, 2155)) << p;
    EXPECT_EQ(blackPixels(theirs, 2155), 1) << p;
    EXPECT_GT(blackPixels(theirs, 0, 2100), 1000) << "page " << p << " has no text";
    keepPng(theirs, QStringLiteral("fax-page%1.png").arg(p));
  }
  // The cover comes first: three short lines, far less ink than a full page.
  EXPECT_LT(coverInk * 5, blackPixels(decodeWithUnpacker(name, 2)));
  QFile::remove(name);
}

TEST_F(FaxFileCreation, BlankCoverGivesDocumentPagesOnlyAndNothingGivesAMessage) {
  appendSentFax(m_sent, rtfOfParagraphs({QStringLiteral("   "), QString(), QStringLiteral("  ")}),
                rtfOfParagraphs({QStringLiteral("Only a document")}));
  int pages = -1;
  QString name = create(pages);
  EXPECT_EQ(pages, 1);
  QFile::remove(name);

  // A cover of more than 255 blanks is not empty: it renders as a blank page.
  appendSentFax(m_sent, rtfOfParagraphs({QString(300, QLatin1Char(' '))}), std::string());
  name = create(pages);
  EXPECT_EQ(pages, 1);
  EXPECT_EQ(blackPixels(decodeWithUnpacker(name, 1)), 1); // the corner pixel
  QFile::remove(name);

  appendSentFax(m_sent, rtfOfParagraphs({QStringLiteral(" ")}), std::string());
  pages = 7;
  appwidgets::MessageBoxHook::setNextAnswer(QMessageBox::Ok);
  EXPECT_EQ(create(pages), QString());
  EXPECT_EQ(pages, 7);
  EXPECT_EQ(appwidgets::MessageBoxHook::lastText(),
            QStringLiteral("Fax has no contents or cover sheet"));
  EXPECT_TRUE(m_buttonBar.isEnabled());
  EXPECT_TRUE(extraFiles().isEmpty()) << extraFiles().join(' ').toStdString();
}

TEST_F(FaxFileCreation, PageBreakParagraphStartsANewPage) {
  appendSentFax(m_sent, std::string(),
                rtfOfParagraphs({QStringLiteral("first page"), QStringLiteral("\f"),
                                 QStringLiteral("second page"), QStringLiteral("still second")}));
  int pages = 0;
  const QString name = create(pages);
  EXPECT_EQ(pages, 2);
  const faximage::PageBitmap second = decodeWithUnpacker(name, 2);
  // The second page starts with its text at the top margin.
  EXPECT_GT(blackPixels(second, 40, 140), 100);
  QFile::remove(name);
}

TEST_F(FaxFileCreation, FailureAtAnyStepLeavesNoFileBehind) {
  appendSentFax(m_sent, rtfOfParagraphs(kCover), rtfOfParagraphs(lines(70, QStringLiteral("Doc"))));
  // Count the steps at which the work lets events run, then quit at each.
  int yields = 0;
  platform::setProcessPendingEventsHook([&] { ++yields; });
  int pages = 0;
  QFile::remove(create(pages));
  ASSERT_GT(yields, 6);
  const int total = yields;
  for (int quitAt = 1; quitAt <= total; ++quitAt) {
    yields = 0;
    platform::clearQuitRequest();
    platform::setProcessPendingEventsHook([&] {
      if (++yields == quitAt)
        platform::requestQuit();
    });
    EXPECT_THROW(create(pages), EGotQuitMsg) << "quit at step " << quitAt;
    EXPECT_TRUE(extraFiles().isEmpty()) << quitAt << ": " << extraFiles().join(' ').toStdString();
    EXPECT_TRUE(m_buttonBar.isEnabled());
  }
  platform::clearQuitRequest();

  // Joining fails: a page file vanishes before the join.
  yields = 0;
  platform::setProcessPendingEventsHook([&] {
    if (++yields == total)
      QFile::remove(dir() + QStringLiteral("TOVAX2.APF"));
  });
  try {
    create(pages);
    ADD_FAILURE() << "joining a missing page succeeded";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode(), 2);
  }
  EXPECT_TRUE(extraFiles().isEmpty()) << extraFiles().join(' ').toStdString();
  platform::setProcessPendingEventsHook([] { QCoreApplication::processEvents(); });

  // The bitmap file cannot be written; then a page file cannot be.
  for (const QString& blocker : {QStringLiteral("_TMP.BMP"), QStringLiteral("TOVAX3.APF")}) {
    ASSERT_TRUE(QDir(dir()).mkdir(blocker));
    EXPECT_THROW(create(pages), Exception) << blocker.toStdString();
    QDir(dir()).rmdir(blocker);
    EXPECT_TRUE(extraFiles().isEmpty()) << extraFiles().join(' ').toStdString();
  }
}

TEST_F(FaxFileCreation, AppendAndNamesFollowTheFileRules) {
  appendSentFax(m_sent, std::string(), rtfOfParagraphs(lines(200, QStringLiteral("x"))));
  int pages = 0;
  const QString five = create(pages);
  const int n = pages;
  ASSERT_GE(n, 3);
  QFile(five).copy(dir() + QStringLiteral("copy.APF"));
  appendSentFax(m_sent, std::string(), rtfOfParagraphs(lines(70, QStringLiteral("y"))));
  const QString two = create(pages);
  EXPECT_EQ(two, dir() + QStringLiteral("TOV_2.APF"));
  ASSERT_EQ(pages, 2);

  QFile f(five);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  QByteArray before = f.read(64);
  f.close();
  compose::AppendFaxFile(five, two);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  QByteArray after = f.read(64);
  f.close();
  EXPECT_EQ(uint8_t(after[32]), n + 2);
  before[32] = after[32];
  EXPECT_EQ(after, before) << "only the page count changes";
  EXPECT_TRUE(decodeWithUnpacker(five, n + 2) == decodeWithUnpacker(two, 2));
  EXPECT_TRUE(decodeWithUnpacker(five, n) == decodeWithUnpacker(dir() + "copy.APF", n));

  EXPECT_EQ(compose::NewFaxFileName(), dir() + QStringLiteral("TOV_3.APF"));
  const qint64 size = QFileInfo(five).size();
  try {
    compose::AppendFaxFile(five, dir() + QStringLiteral("missing.APF"));
    ADD_FAILURE();
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode(), 2);
  }
  EXPECT_EQ(QFileInfo(five).size(), size);
  for (int k = 1; k <= 1000; ++k)
    QFile(dir() + QStringLiteral("TOV_%1.APF").arg(k)).open(QIODevice::WriteOnly);
  EXPECT_EQ(compose::NewFaxFileName(), dir() + QStringLiteral("TOV1.APF"));
}

TEST_F(FaxFileCreation, QuitRequestStopsTheUnpacker) {
  appendSentFax(m_sent, std::string(), rtfOfParagraphs({QStringLiteral("One page")}));
  int pages = 0;
  const QString name = create(pages);
  faximage::TFxFaxUnpacker unpacker;
  unpacker.SetInFileName(name.toStdString()); // yields while decoding
  platform::setProcessPendingEventsHook([] { platform::requestQuit(); });
  EXPECT_THROW(unpacker.PageToBitmap(1), EGotQuitMsg);
  platform::setProcessPendingEventsHook([] { QCoreApplication::processEvents(); });
  platform::clearQuitRequest();
  EXPECT_NE(unpacker.PageToBitmap(1), nullptr);
  QFile::remove(name);
}
