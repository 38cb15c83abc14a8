// A full disk while the user works: every window keeps what the user wrote,
// says why it could not be stored, leaves the stored data as it was, and
// stores the work once space is freed. The disk is a small tmpfs of the
// test's own (the tests run as root; elsewhere they are skipped).

#include "tests/app/AppGuiTestKit.h"

#include "compose/TCoverEditor.h"
#include "compose/TFaxEditor.h"
#include "compose/TPhoneBookEditor.h"
#include "core/FaxTables.h"
#include "faximage/ApfFile.h"
#include "richtext/RichEditor.h"
#include "widgets/MessageBoxes.h"
#include "xbase/Table.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace appgui;
namespace hook = appwidgets::MessageBoxHook;

namespace {

// A 4 MB tmpfs mounted for the test's life; Fill() takes every free page,
// Free() gives them back.
class SmallDisk {
public:
  SmallDisk() {
    char name[] = "/tmp/tolvane-smalldisk-XXXXXX";
    if (!mkdtemp(name)) {
      m_problem = std::strerror(errno);
      return;
    }
    m_path = name;
    if (::mount("tmpfs", name, "tmpfs", 0, "size=4m") != 0)
      m_problem = std::string("mount: ") + std::strerror(errno);
  }
  ~SmallDisk() {
    if (m_problem.empty())
      ::umount2(m_path.c_str(), MNT_DETACH);
    if (!m_path.empty())
      ::rmdir(m_path.c_str());
  }
  const std::string& Problem() const { return m_problem; }
  const std::string& Path() const { return m_path; }

  void Fill() {
    const std::string fill = m_path + "/fill";
    int fd = ::open(fill.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    ASSERT_GE(fd, 0);
    static const char block[4096] = {};
    while (::write(fd, block, sizeof block) > 0) {
    }
    EXPECT_EQ(errno, ENOSPC);
    ::close(fd);
  }
  void Free() { ::unlink((m_path + "/fill").c_str()); }

private:
  std::string m_path;
  std::string m_problem;
};

#define SKIP_WITHOUT(disk)                                                                         \
  if (!(disk).Problem().empty())                                                                   \
  GTEST_SKIP() << "no small file system can be mounted here (" << (disk).Problem() << ")"

// Long enough (11 KB) that storing it needs new pages of the memo file.
QString longText(const QString& what) {
  QString text;
  for (int i = 1; i <= 150; ++i)
    text += QStringLiteral("%1, paragraph %2: words the user must not lose on a full disk.\n")
                .arg(what)
                .arg(i);
  return text;
}

// Adds records until the table file's last page is so full that the next
// record needs a new page: on a full disk that next record cannot be written.
void fillLastPage(const std::string& path, const std::function<void(xbase::Table&)>& add,
                  bool (*open)(xbase::Table&)) {
  xbase::TableEnv::setDeleted(true);
  xbase::Table table;
  ASSERT_TRUE(open(table));
  for (;;) {
    const auto before = std::filesystem::file_size(path);
    table.append();
    add(table);
    table.post();
    const auto after = std::filesystem::file_size(path);
    if ((after - 1) / 4096 != (after + (after - before) - 1) / 4096)
      break;
  }
  table.close();
}

std::string memoOfFirst(const std::string& field, const std::string& keyField,
                        const std::string& key, bool (*open)(xbase::Table&)) {
  xbase::Table table;
  if (!open(table))
    return "(table not opened)";
  for (table.first(); !table.eof(); table.next())
    if (table.fieldString(keyField) == key)
      return table.memo(field);
  return "(no record)";
}

void clickOn(QWidget* window, const char* button) {
  QTest::mouseClick(Find<QPushButton>(window, button), Qt::LeftButton);
}

} // namespace

TEST(FullDisk, AFaxWrittenOnAFullDiskStaysInTheEditorUntilItIsStored) {
  SmallDisk disk;
  SKIP_WITHOUT(disk);
  DataFolder data(disk.Path());
  {
    TMainScreen w;
    w.show();
    QTableView* grid = Find<QTableView>(&w, "FaxGrid");
    bool openAfterFailure = false;
    int rowsWhileFull = -1;
    OnNextModal("compose::TFaxEditor", [&](QWidget* dialog) {
      auto* editor = qobject_cast<compose::TFaxEditor*>(dialog);
      QTest::keyClicks(editor->Recipient, "Important Person");
      editor->RichDoc->setPlainText(longText("New fax"));
      disk.Fill();
      hook::setNextAnswer(QMessageBox::Ok);
      clickOn(dialog, "OKButton");
      openAfterFailure =
          dialog->isVisible() && editor->RichDoc->toPlainText().contains("New fax, paragraph 150");
      rowsWhileFull = grid->model()->rowCount();
      disk.Free();
      clickOn(dialog, "OKButton");
    });
    clickOn(&w, "Newbutton");
    EXPECT_EQ(hook::lastText(), "The disk is full: the fax was not saved. Free some space and "
                                "press Accept again.");
    EXPECT_TRUE(openAfterFailure);
    EXPECT_EQ(rowsWhileFull, 0) << "nothing half-stored is listed";
    ASSERT_EQ(grid->model()->rowCount(), 1);

    // Editing on a full disk keeps the stored text as it was.
    hook::clear();
    std::string storedWhileFull;
    OnNextModal("compose::TFaxEditor", [&](QWidget* dialog) {
      auto* editor = qobject_cast<compose::TFaxEditor*>(dialog);
      editor->RichDoc->setPlainText(longText("Edited fax"));
      disk.Fill();
      hook::setNextAnswer(QMessageBox::Ok);
      clickOn(dialog, "OKButton");
      openAfterFailure = dialog->isVisible();
      storedWhileFull = w.FaxTable().memo("RTFDOC");
      disk.Free();
      clickOn(dialog, "OKButton");
    });
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      grid->visualRect(grid->model()->index(0, 1)).center());
    clickOn(&w, "EditButton");
    EXPECT_TRUE(hook::lastText().startsWith("The disk is full")) << hook::lastText().toStdString();
    EXPECT_TRUE(openAfterFailure);
    EXPECT_NE(storedWhileFull.find("New fax, paragraph 150"), std::string::npos);
    w.close();
  }
  const std::string stored =
      memoOfFirst("RTFDOC", "RECIPIENT", "Important Person", app::OpenFaxDBF);
  EXPECT_NE(stored.find("Edited fax, paragraph 150"), std::string::npos) << stored.substr(0, 200);
}

TEST(FullDisk, CoverTemplatePhoneBookEntryAndPreferencesWaitForSpace) {
  SmallDisk disk;
  SKIP_WITHOUT(disk);
  DataFolder data(disk.Path());
  fillLastPage(
      data.Path() + app::PhoneTable.FileName,
      [](xbase::Table& t) {
        t.setField("NAME", "Filler");
        t.setField("PHONE", "5550000");
      },
      app::OpenPhoneDBF);
  auto readIni = [&] {
    std::ifstream in(data.Path() + "TOV.INI");
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  TMainScreen w;
  w.show();
  QStringList failures;
  QStringList keptOpen;
  // Presses Accept on a full disk (the error box answered), notes what the
  // window said and whether it kept its work, then frees space and accepts.
  auto acceptOnFullDisk = [&](QWidget* dialog, const char* button,
                              const std::function<bool()>& workKept) {
    disk.Fill();
    hook::clear();
    hook::setNextAnswer(QMessageBox::Ok);
    clickOn(dialog, button);
    failures << hook::lastText();
    if (dialog->isVisible() && workKept())
      keptOpen << dialog->metaObject()->className();
    disk.Free();
    clickOn(dialog, button);
  };

  OnNextModal("compose::TCoverBrowse", [&](QWidget* browse) {
    OnNextModal("compose::TCoverEditor", [&](QWidget* dialog) {
      auto* editor = qobject_cast<compose::TCoverEditor*>(dialog);
      editor->CoverDescription->setText("Letterhead");
      editor->RichCover->setPlainText(longText("Cover"));
      acceptOnFullDisk(dialog, "OKbutton", [editor] {
        return editor->RichCover->toPlainText().contains("Cover, paragraph 150");
      });
    });
    clickOn(browse, "NewButton");
    clickOn(browse, "CloseButton");
  });
  w.findChild<QAction*>("mnuCover")->trigger();

  OnNextModal("compose::TPhoneBook", [&](QWidget* book) {
    OnNextModal("compose::TPhoneBookEditor", [&](QWidget* dialog) {
      auto* editor = qobject_cast<compose::TPhoneBookEditor*>(dialog);
      editor->Name->setText("Important Person");
      editor->Number->setText("5550123");
      acceptOnFullDisk(dialog, "OKButton",
                       [editor] { return editor->Name->text() == "Important Person"; });
    });
    clickOn(book, "Addbutton");
    clickOn(book, "Closebutton");
  });
  w.findChild<QAction*>("mnuPhoneBook")->trigger();

  OnNextModal("TPreferences", [&](QWidget* dialog) {
    auto* name = dialog->findChild<QLineEdit*>("Name");
    ASSERT_NE(name, nullptr);
    name->setText("Changed Name");
    const std::string iniBefore = readIni();
    acceptOnFullDisk(dialog, "AcceptButton",
                     [&] { return name->text() == "Changed Name" && readIni() == iniBefore; });
  });
  w.findChild<QAction*>("mnuPreferences")->trigger();
  w.close();

  ASSERT_EQ(failures.size(), 3);
  EXPECT_EQ(failures[0], "The disk is full: the cover template was not saved. Free some space "
                         "and press Accept again.");
  EXPECT_TRUE(failures[1].startsWith("The disk is full: the phone book entry was not saved"));
  EXPECT_TRUE(failures[2].startsWith("The disk is full: the preferences were not saved"))
      << failures[2].toStdString();
  EXPECT_EQ(keptOpen,
            (QStringList{"compose::TCoverEditor", "compose::TPhoneBookEditor", "TPreferences"}));
  EXPECT_NE(memoOfFirst("COVER", "DESCRIPT", "Letterhead", app::OpenCoverDBF)
                .find("Cover, paragraph 150"),
            std::string::npos);
  xbase::Table phone;
  ASSERT_TRUE(app::OpenPhoneDBF(phone));
  int found = 0;
  for (phone.first(); !phone.eof(); phone.next())
    found += phone.fieldString("NAME") == "Important Person" ? 1 : 0;
  EXPECT_EQ(found, 1) << "stored once, after space was freed";
  EXPECT_EQ(data.ReadIni("User", "Name"), "Changed Name");
}

TEST(FullDisk, AFaxReceivedOnAFullDiskIsListedOnceItCanBe) {
  SmallDisk disk;
  SKIP_WITHOUT(disk);
  DataFolder data(disk.Path());
  std::filesystem::create_directories(data.Path() + "receive");
  // A fax that arrived while the program was not listing (its record lost).
  auto writeFax = [&](const std::string& name, const char* from, int pages) {
    auto header = faximage::ApfFileHeader::fresh();
    header.setStationIdPadded(from);
    header.pageCount = uint16_t(pages);
    uint8_t bytes[faximage::kApfFileHeaderSize];
    header.toBytes(bytes);
    std::ofstream(data.Path() + "receive/" + name, std::ios::binary)
        .write(reinterpret_cast<char*>(bytes), sizeof bytes);
    return data.Path() + "receive/" + name;
  };
  writeFax("EARLIER.APF", "+1 555 0101", 3);
  auto listed = [](QTableView* grid, const QString& from) {
    for (int row = 0; row < grid->model()->rowCount(); ++row)
      for (int c = 0; c < grid->model()->columnCount(); ++c)
        if (grid->model()->index(row, c).data().toString().trimmed() == from)
          return true;
    return false;
  };
  {
    TMainScreen w;
    w.show();
    EXPECT_TRUE(listed(Find<QTableView>(&w, "RecFaxGrid"), "+1 555 0101"))
        << "a file without a record is listed at start";
    EXPECT_TRUE(w.StatusLine()->text().startsWith("1 received fax was found"))
        << w.StatusLine()->text().toStdString();
    w.close();
  }
  fillLastPage(
      data.Path() + app::ReceivedTable.FileName,
      [](xbase::Table& t) {
        t.setField("FROM", "Filler");
        t.setField("FAXFILE", "");
      },
      app::OpenRecFaxDBF);

  TMainScreen w;
  w.show();
  QTableView* grid = Find<QTableView>(&w, "RecFaxGrid");
  const int rowsAtStart = grid->model()->rowCount();

  const std::string file = writeFax("NEW.APF", "+1 555 0202", 2);
  disk.Fill();
  MainScreenTestAccess::FaxArrived(w, "+1 555 0202", 2, file);
  EXPECT_TRUE(w.StatusLine()->text().startsWith("A fax was received but could not be listed yet"))
      << w.StatusLine()->text().toStdString();
  EXPECT_EQ(grid->model()->rowCount(), rowsAtStart);
  EXPECT_TRUE(std::filesystem::exists(file)) << "what arrived is kept";

  disk.Free();
  MainScreenTestAccess::RetryNow(w);
  EXPECT_EQ(grid->model()->rowCount(), rowsAtStart + 1);
  EXPECT_TRUE(listed(grid, "+1 555 0202"));
  w.close();
}

// The fax pages are built in the data folder before dialling: a page file
// that cannot be written completely stops the send with the reason, and no
// call is made with a short file.
TEST(FullDisk, ASendWhosePagesCannotBeWrittenDoesNotDial) {
  SmallDisk disk;
  SKIP_WITHOUT(disk);
  DataFolder data(disk.Path());
  data.AddSent({"Long letter", false, "", "", "Important Person", "5550100"});
  TMainScreen w;
  w.show();
  ASSERT_TRUE(w.SelectCurrentSent());
  {
    richtext::TRichEditor text;
    text.setPlainText(longText("Page text"));
    w.FaxTable().edit();
    w.FaxTable().setMemo("RTFDOC", text.SaveToRtf());
    w.FaxTable().post();
  }
  const auto before = std::filesystem::directory_iterator(data.Path());
  std::set<std::string> filesBefore;
  for (const auto& entry : before)
    filesBefore.insert(entry.path().filename().string());
  disk.Fill();
  bool dialogOpened = false;
  OnNextModal("TSendFaxForm", [&](QWidget* dialog) {
    dialogOpened = true;
    dialog->close();
  });
  hook::clear();
  hook::setNextAnswer(QMessageBox::Ok);
  clickOn(&w, "SendButton");
  QTest::qWait(100);
  disk.Free();
  EXPECT_FALSE(dialogOpened) << "the send dialog opened with a short page file";
  EXPECT_TRUE(hook::lastText().startsWith("The fax pages could not be written"))
      << hook::lastText().toStdString();
  std::set<std::string> filesAfter;
  for (const auto& entry : std::filesystem::directory_iterator(data.Path()))
    filesAfter.insert(entry.path().filename().string());
  EXPECT_EQ(filesAfter, filesBefore) << "no half-built page file is left behind";
  ASSERT_TRUE(w.SelectCurrentSent());
  EXPECT_EQ(w.FaxTable().fieldString("LASTRESULT"), "");
  w.close();
}

// A table file on a read-only mount (a bind mount, since root ignores file
// permissions): opening its window says why instead of doing nothing, and
// the table is left as it was.
TEST(ReadOnlyFolder, ATableThatCannotBeWrittenIsReportedWhenItsWindowOpens) {
  DataFolder data;
  xbase::Table phone;
  ASSERT_TRUE(app::OpenPhoneDBF(phone));
  phone.append();
  phone.setField("NAME", "Kept Entry");
  phone.post();
  phone.close();
  const std::string file = data.Path() + app::PhoneTable.FileName;
  if (::mount(file.c_str(), file.c_str(), nullptr, MS_BIND, nullptr) != 0)
    GTEST_SKIP() << "no bind mount here (" << std::strerror(errno) << ")";
  struct Unmount {
    std::string path;
    ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
  } unmount{file};
  ASSERT_EQ(::mount(nullptr, file.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr), 0)
      << std::strerror(errno);
  const auto before = std::filesystem::file_size(file);
  TMainScreen w;
  w.show();
  hook::clear();
  hook::setNextAnswer(QMessageBox::Ok);
  w.findChild<QAction*>("mnuPhoneBook")->trigger();
  EXPECT_TRUE(hook::lastText().startsWith("Unable to open the phone book"))
      << hook::lastText().toStdString();
  EXPECT_TRUE(hook::lastText().contains(QString::fromLocal8Bit(std::strerror(EROFS))))
      << hook::lastText().toStdString();
  w.close();
  EXPECT_EQ(std::filesystem::file_size(file), before);
}
