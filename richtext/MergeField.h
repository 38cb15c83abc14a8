#pragma once

#include <QString>
#include <QTextFormat>

class QTextDocument;
class QTextCursor;

namespace richtext {

// A merge field is a run of characters whose format carries a tag (1..5)
// and an identity shared by the characters of that one field, so that two
// adjacent fields with the same tag stay apart.
enum MergeFieldProperty {
  kMergeTagProperty = QTextFormat::UserProperty + 1,
  kMergeIdProperty = QTextFormat::UserProperty + 2,
};

// A field's place in the document and its tag.
struct MergeFieldSpan {
  int start = 0;
  int length = 0;
  int tag = 0;
};

// The display text of a tag in a template, e.g. "[RECIPIENT]".
QString mergeFieldDisplayText(int tag);
// The field name stored in RTF (MERGEFIELD <name>) and back; 0 when unknown.
QString mergeFieldName(int tag);
int mergeFieldTagFromName(const QString& name);

int newMergeFieldId();
// Every field of the document in text order.
QList<MergeFieldSpan> findMergeFields(const QTextDocument& doc);
// Inserts text at the cursor as a field with the given tag.
void insertMergeField(QTextCursor& cursor, int tag, const QString& text);
// Replaces the text of a field, keeping its character format and tag.
void replaceMergeFieldText(QTextDocument& doc, const MergeFieldSpan& field, const QString& text);

} // namespace richtext
