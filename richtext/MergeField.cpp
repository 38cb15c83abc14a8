#include "richtext/MergeField.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <array>
#include <atomic>

namespace richtext {
namespace {

struct TagNames {
  const char* display;
  const char* name;
};
constexpr std::array<TagNames, 5> kTags = {{{"[RECIPIENT]", "RECIPIENT"},
                                            {"[FAX#]", "FAXNUMBER"},
                                            {"[SUBJECT]", "SUBJECT"},
                                            {"[DATE]", "DATE"},
                                            {"[TIME]", "TIME"}}};

} // namespace

QString mergeFieldDisplayText(int tag) {
  if (tag >= 1 && tag <= int(kTags.size()))
    return QString::fromLatin1(kTags[tag - 1].display);
  return QStringLiteral("[FIELD%1]").arg(tag);
}

QString mergeFieldName(int tag) {
  if (tag >= 1 && tag <= int(kTags.size()))
    return QString::fromLatin1(kTags[tag - 1].name);
  return QStringLiteral("FIELD%1").arg(tag);
}

int mergeFieldTagFromName(const QString& name) {
  const QString upper = name.toUpper();
  for (std::size_t i = 0; i < kTags.size(); ++i)
    if (upper == QLatin1String(kTags[i].name))
      return int(i + 1);
  if (upper.startsWith(QLatin1String("FIELD"))) {
    bool ok = false;
    const int tag = upper.mid(5).toInt(&ok);
    if (ok && tag > 0 && tag < 1000)
      return tag;
  }
  return 0;
}

int newMergeFieldId() {
  static std::atomic<int> counter{0};
  return ++counter;
}

QList<MergeFieldSpan> findMergeFields(const QTextDocument& doc) {
  QList<MergeFieldSpan> fields;
  int lastId = 0;
  for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment frag = it.fragment();
      const QTextCharFormat fmt = frag.charFormat();
      const int id = fmt.intProperty(kMergeIdProperty);
      const int tag = fmt.intProperty(kMergeTagProperty);
      if (tag <= 0 || id == 0) {
        lastId = 0;
        continue;
      }
      if (id == lastId && !fields.isEmpty() &&
          fields.last().start + fields.last().length == frag.position()) {
        fields.last().length += frag.length();
      } else {
        fields.append({frag.position(), frag.length(), tag});
      }
      lastId = id;
    }
    lastId = 0;
  }
  return fields;
}

void insertMergeField(QTextCursor& cursor, int tag, const QString& text) {
  QTextCharFormat fmt = cursor.charFormat();
  fmt.setProperty(kMergeTagProperty, tag);
  fmt.setProperty(kMergeIdProperty, newMergeFieldId());
  cursor.insertText(text, fmt);
  // Typing after the field must not extend it.
  fmt.clearProperty(kMergeTagProperty);
  fmt.clearProperty(kMergeIdProperty);
  cursor.setCharFormat(fmt);
}

void replaceMergeFieldText(QTextDocument& doc, const MergeFieldSpan& field, const QString& text) {
  QTextCursor c(&doc);
  c.setPosition(field.start + 1); // format of the field's first character
  QTextCharFormat fmt = c.charFormat();
  c.setPosition(field.start);
  c.setPosition(field.start + field.length, QTextCursor::KeepAnchor);
  if (text.isEmpty())
    c.removeSelectedText(); // an empty text leaves nothing of the field
  else
    c.insertText(text, fmt);
}

} // namespace richtext
