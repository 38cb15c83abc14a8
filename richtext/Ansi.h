#pragma once

#include <QChar>
#include <QString>

namespace richtext {

// Windows-1252, the code page of every text file the program keeps.
QChar ansiToUnicode(unsigned char byte);
// The Windows-1252 byte of a character, or -1 when the code page lacks it.
int unicodeToAnsi(QChar ch);

} // namespace richtext
