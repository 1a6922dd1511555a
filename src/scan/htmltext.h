#pragma once

#include <QString>
#include <QStringView>

// Text as a browser shows it, for feed titles written as HTML and for finding a title the user saw on a page.
namespace HtmlText {

// The character reference at the start of text ("&amp;", "&#39;", "&#x4e2d;"): its decoded text, and in length how
// many characters it takes; empty with length 0 when text does not start with one Kestrow knows.
QString entityAt(QStringView text, qsizetype &length);
// Whether a tag of this name (in any case) starts a new line where a browser shows it: text on either side of it
// is two words.
bool isBlockTag(QStringView name);
// All character references decoded; anything else as it is.
QString decodeEntities(QStringView text);
// Tags and comments left out, references decoded, white space runs made one space, trimmed.
QString toPlainText(QStringView html);

} // namespace HtmlText
