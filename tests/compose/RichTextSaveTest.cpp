// Saving rich text: a save that fails half way leaves the old document whole
// and says why; a memo whose write fails keeps its old text.
#include "ComposeSupport.h"
#include "core/FaxTables.h"
#include "compose/RichTextMemo.h"
#include "richtext/RichEditor.h"
#include "xbase/Table.h"

#include <QFile>
#include <csignal>
#include <sys/resource.h>

using namespace composetest;

namespace {

// Files may grow to `bytes` at most while it lives (writes beyond fail
// with EFBIG instead of raising SIGXFSZ).
class FileSizeLimit {
public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &m_old);
    m_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = m_old;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &m_old);
    std::signal(SIGXFSZ, m_handler);
  }

private:
  rlimit m_old{};
  void (*m_handler)(int) = nullptr;
};

class RichTextSave : public DataDirTest {};

} // namespace

TEST_F(RichTextSave, FailedSaveKeepsTheOldDocumentAndSaysWhy) {
  const QString path = dir() + QStringLiteral("letter.rtf");
  richtext::TRichEditor editor;
  editor.setPlainText(QStringLiteral("old text"));
  ASSERT_TRUE(editor.SaveToFile(path));
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray old = f.readAll();
  f.close();

  editor.setPlainText(QString(20000, QLatin1Char('x')));
  QString reason;
  {
    FileSizeLimit limit(std::size_t(old.size()) + 100);
    EXPECT_FALSE(editor.SaveToFile(path, &reason));
  }
  EXPECT_TRUE(reason.startsWith(QStringLiteral("Unable to save ")) && reason.contains(path))
      << reason.toStdString();
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), old);
  f.close();
  EXPECT_EQ(files(), QStringList{QStringLiteral("letter.rtf")}) << "no temporary file left";

  // Through the memo: the record keeps its old text and the caller learns why.
  xbase::Table sent;
  ASSERT_TRUE(app::OpenFaxDBF(sent));
  appendSentFax(sent, std::string(), "old memo");
  sent.edit();
  compose::SaveRichText(editor, sent, "RTFDOC");
  {
    FileSizeLimit limit(1000);
    EXPECT_THROW(sent.post(), std::runtime_error);
  }
  sent.cancel();
  EXPECT_EQ(sent.memo("RTFDOC"), "old memo");
  sent.close();
}
