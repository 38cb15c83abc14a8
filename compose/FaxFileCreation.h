#pragma once
// Turning a stored fax (one Sent record) into one APF fax file: every page of
// the cover and then of the document is drawn at 200 pixels per inch into a
// 1664 x 2156 page bitmap, saved as the BMP file ProgramDir + "_TMP.BMP",
// converted into a one-page APF file, and all page files are joined into the
// first one.
//
// The main window owns the hidden editors and the converter and wraps
// CreateFaxFile as its own command step:
//
//   compose::TFaxFileJob job{m_sentTable, *RichCover, *RichDoc, FxFaxConverter1};
//   job.ButtonBar = ButtonBar;
//   job.ShowStatus = [this](const QString& s) { status->setText(s); };
//   QString name = compose::CreateFaxFile(job, LastFaxPages);

#include <QString>
#include <QStringList>
#include <functional>
#include <string>

class QWidget;

namespace xbase {
class Table;
}
namespace faximage {
class TFxFaxConverter;
}
namespace richtext {
class TRichEditor;
}

namespace compose {

struct TFaxFileJob {
  xbase::Table& SentTable;          // its current record is the fax to build
  richtext::TRichEditor& RichCover; // the main window's hidden editors
  richtext::TRichEditor& RichDoc;
  faximage::TFxFaxConverter& Converter;
  QWidget* ButtonBar = nullptr;                   // disabled while the file is built
  std::function<void(const QString&)> ShowStatus; // the status line ("" clears it)
  QWidget* MessageParent = nullptr;               // parent of "Fax has no contents or cover sheet"
};

// Builds the fax file of the Sent table's current record (memos RTFCOVER and
// RTFDOC). Returns the full path of the finished APF file, which the caller
// owns and deletes, and sets lastFaxPages; or shows "Fax has no contents or
// cover sheet" and returns "" (lastFaxPages unchanged) when both texts are
// empty. Shows the busy cursor and keeps the window painting meanwhile.
// A failing step (saving the bitmap, the converter, joining, a quit request:
// EGotQuitMsg) throws its EFxException-family error after every file made
// so far (page files, the bitmap file) has been removed; the button bar is
// enabled again and the status line cleared on every exit.
QString CreateFaxFile(const TFaxFileJob& job, int& lastFaxPages);

// Renders one rich text into page files and appends their names to pages;
// the first page of the whole fax goes to NewFaxFileName(), page i >= 2 to
// ProgramDir + "TOVAX" + i + ".APF". At least one page, even for a text that
// draws nothing. On failure the files this call made are removed.
void RenderFaxPages(richtext::TRichEditor& editor, faximage::TFxFaxConverter& converter,
                    QStringList& pages);

// The first free name of ProgramDir + "TOV_" + k + ".APF" for k = 1 .. 1000,
// or ProgramDir + "TOV1.APF" when all are taken.
QString NewFaxFileName();

// Appends pages 2 .. n to the first file, deletes them and returns the
// first name (a one-name list is returned untouched).
QString JoinFaxPages(const QStringList& pages);

// Appends every page of the APF file source to the APF file destination:
// walks the destination's page headers to the end of its last page, copies
// the source's pages there in 4096-byte blocks and adds the page counts.
// Throws EInOutError (code 2, file not found) when either file is missing;
// other I/O failures throw their EFxException.
void AppendFaxFile(const QString& destination, const QString& source);

} // namespace compose
