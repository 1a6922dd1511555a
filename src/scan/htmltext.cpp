#include "scan/htmltext.h"

#include <algorithm>

namespace HtmlText {

namespace {

// The named references task titles use; a browser knows two thousand, lists and prices need these.
struct Named
{
    const char *name;
    char16_t character;
};
constexpr Named namedEntities[] = {
    {"amp", u'&'},         {"lt", u'<'},         {"gt", u'>'},         {"quot", u'"'},       {"apos", u'\''},
    {"nbsp", u'\u00a0'},   {"ensp", u'\u2002'},  {"emsp", u'\u2003'},  {"yen", u'\u00a5'},   {"euro", u'\u20ac'},
    {"pound", u'\u00a3'},  {"cent", u'\u00a2'},  {"copy", u'\u00a9'},  {"reg", u'\u00ae'},   {"trade", u'\u2122'},
    {"hellip", u'\u2026'}, {"mdash", u'\u2014'}, {"ndash", u'\u2013'}, {"lsquo", u'\u2018'}, {"rsquo", u'\u2019'},
    {"ldquo", u'\u201c'},  {"rdquo", u'\u201d'}, {"laquo", u'\u00ab'}, {"raquo", u'\u00bb'}, {"middot", u'\u00b7'},
    {"bull", u'\u2022'},   {"times", u'\u00d7'}, {"deg", u'\u00b0'},   {"sect", u'\u00a7'},  {"para", u'\u00b6'}};

bool isWhite(QChar c)
{
    return c.isSpace() || c == QChar(0x00a0) || c == QChar(0x3000);
}

} // namespace

bool isBlockTag(QStringView name)
{
    static const QString blocks[] = {QStringLiteral("br"), QStringLiteral("p"),  QStringLiteral("div"),
                                     QStringLiteral("li"), QStringLiteral("tr"), QStringLiteral("td"),
                                     QStringLiteral("th"), QStringLiteral("dt"), QStringLiteral("dd")};
    return std::any_of(std::begin(blocks), std::end(blocks),
                       [name](const QString &b) { return name.compare(b, Qt::CaseInsensitive) == 0; });
}

QString entityAt(QStringView text, qsizetype &length)
{
    length = 0;
    const qsizetype semicolon = text.left(12).indexOf(QLatin1Char(';'));
    if (!text.startsWith(QLatin1Char('&')) || semicolon < 3)
        return QString();
    const QStringView body = text.sliced(1, semicolon - 1);
    if (body.startsWith(QLatin1Char('#'))) {
        const bool hex = body.size() > 1 && (body[1] == QLatin1Char('x') || body[1] == QLatin1Char('X'));
        bool ok = false;
        const uint code = body.sliced(hex ? 2 : 1).toUInt(&ok, hex ? 16 : 10);
        // No control characters, surrogates or code points past Unicode: those would be no text.
        if (!ok || code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) ||
            (code < 32 && code != 9 && code != 10))
            return QString();
        length = semicolon + 1;
        const char32_t c = code;
        return QString::fromUcs4(&c, 1);
    }
    for (const Named &named : namedEntities) {
        if (body == QLatin1String(named.name)) {
            length = semicolon + 1;
            return QString(QChar(named.character));
        }
    }
    return QString();
}

QString decodeEntities(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        qsizetype length = 0;
        if (text[i] == QLatin1Char('&')) {
            const QString decoded = entityAt(text.sliced(i), length);
            if (length > 0) {
                out += decoded;
                i += length;
                continue;
            }
        }
        out += text[i++];
    }
    return out;
}

QString toPlainText(QStringView html)
{
    QString out;
    out.reserve(html.size());
    bool pendingSpace = false;
    const auto append = [&](QStringView part) {
        for (const QChar c : part) {
            if (isWhite(c)) {
                pendingSpace = !out.isEmpty();
                continue;
            }
            if (pendingSpace)
                out += QLatin1Char(' ');
            pendingSpace = false;
            out += c;
        }
    };
    for (qsizetype i = 0; i < html.size();) {
        const QChar c = html[i];
        if (c == QLatin1Char('<')) {
            const bool comment = html.sliced(i).startsWith(QLatin1String("<!--"));
            const qsizetype end =
                comment ? html.indexOf(QLatin1String("-->"), i + 4) : html.indexOf(QLatin1Char('>'), i + 1);
            if (end < 0)
                break;
            // A line break or a block ends a word, as a browser shows it; inline markup does not.
            QStringView name = html.sliced(i + 1, end - i - 1);
            if (name.startsWith(QLatin1Char('/')))
                name = name.sliced(1);
            const qsizetype nameEnd =
                std::find_if(name.cbegin(), name.cend(), [](QChar n) { return !n.isLetterOrNumber(); }) - name.cbegin();
            if (!comment && isBlockTag(name.first(nameEnd)))
                pendingSpace = !out.isEmpty();
            i = end + (comment ? 3 : 1);
            continue;
        }
        qsizetype length = 0;
        if (c == QLatin1Char('&')) {
            const QString decoded = entityAt(html.sliced(i), length);
            if (length > 0) {
                append(decoded);
                i += length;
                continue;
            }
        }
        // Plain text up to the next tag or reference, in one piece.
        qsizetype next = i + 1;
        while (next < html.size() && html[next] != QLatin1Char('<') && html[next] != QLatin1Char('&'))
            ++next;
        append(html.sliced(i, next - i));
        i = next;
    }
    return out;
}

} // namespace HtmlText
