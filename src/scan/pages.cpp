#include "scan/pages.h"

#include "platform/platform.h"
#include "scan/feeds.h"
#include "sites/catalogschema.h"

#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QStringMatcher>
#include <QVarLengthArray>

#include <algorithm>
#include <array>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

using namespace CatalogSchema;

// A UTF-8 byte order mark, which decoding a whole page drops at its start.
constexpr QByteArrayView utf8Bom("\xEF\xBB\xBF");

// Finds one marker, case-sensitively, in UTF-16 text; an empty marker is found where the search starts. Set up once
// per page, so that the search tables are not rebuilt for every row.
class TextFinder
{
public:
    explicit TextFinder(const QString &marker)
        : m_matcher(marker), m_size(marker.size()), m_first(marker.isEmpty() ? QChar() : marker.front())
    {
    }

    qsizetype size() const { return m_size; }
    qsizetype in(QStringView text, qsizetype from = 0) const
    {
        if (m_size == 0)
            return from <= text.size() ? from : -1;
        if (m_size == 1)
            return text.indexOf(m_first, from);
        return m_matcher.indexIn(text, from);
    }
    static QString toText(QStringView part) { return part.toString(); }

private:
    QStringMatcher m_matcher;
    qsizetype m_size;
    QChar m_first;
};

// Where needle (two bytes or more) first occurs in haystack, or -1. Sixteen places are tried at once by their first
// and last byte, and only those where both match are compared in full: markup repeats the first byte of a marker
// ('<') everywhere, but seldom together with its last.
qsizetype findBytes(QByteArrayView haystack, QByteArrayView needle)
{
    const qsizetype n = haystack.size();
    const qsizetype k = needle.size();
    const char *hay = haystack.data();
    qsizetype i = 0;
#ifdef __SSE2__
    const __m128i first = _mm_set1_epi8(needle.front());
    const __m128i last = _mm_set1_epi8(needle.back());
    for (; i + k - 1 + 16 <= n; i += 16) {
        const __m128i atFirst = _mm_loadu_si128(reinterpret_cast<const __m128i *>(hay + i));
        const __m128i atLast = _mm_loadu_si128(reinterpret_cast<const __m128i *>(hay + i + k - 1));
        unsigned mask =
            unsigned(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(first, atFirst), _mm_cmpeq_epi8(last, atLast))));
        while (mask) {
            const qsizetype at = i + __builtin_ctz(mask);
            if (memcmp(hay + at + 1, needle.data() + 1, size_t(k - 2)) == 0)
                return at;
            mask &= mask - 1;
        }
    }
#endif
    const void *found = memmem(hay + i, size_t(n - i), needle.data(), size_t(k));
    return found ? static_cast<const char *>(found) - hay : -1;
}

// The same in UTF-8 bytes, where the search is several times faster. In UTF-8 a whole character never
// matches inside another one, and the decoder never swallows a byte that cannot continue a character, so a marker
// is found in the bytes exactly where it would be found in the decoded text.
class ByteFinder
{
public:
    explicit ByteFinder(const QString &marker) : m_marker(marker.toUtf8()) {}

    qsizetype size() const { return m_marker.size(); }
    qsizetype in(QByteArrayView text, qsizetype from = 0) const
    {
        if (from > text.size())
            return -1;
        if (m_marker.isEmpty())
            return from;
        // An empty page has no data at all, and the C library's searches take no null pointer.
        if (text.size() - from < m_marker.size())
            return -1;
        if (m_marker.size() == 1) {
            const void *found = memchr(text.data() + from, m_marker[0], size_t(text.size() - from));
            return found ? static_cast<const char *>(found) - text.data() : -1;
        }
        const qsizetype found = findBytes(text.sliced(from), m_marker);
        return found < 0 ? -1 : from + found;
    }
    static QString toText(QByteArrayView part)
    {
        // QString::fromUtf8 drops a byte order mark at the start, which decoding the whole page keeps here.
        if (!part.startsWith(utf8Bom))
            return QString::fromUtf8(part);
        return QChar(0xFEFF) + QString::fromUtf8(part.sliced(utf8Bom.size()));
    }

private:
    QByteArray m_marker;
};

// The text between the first begin marker in text and the first end marker after it; false when either is missing.
template <typename Finder, typename View> bool enclosed(View text, const Finder &begin, const Finder &end, View &out)
{
    const qsizetype b = begin.in(text);
    if (b < 0)
        return false;
    const View rest = text.sliced(b + begin.size());
    const qsizetype e = end.in(rest);
    if (e < 0)
        return false;
    out = rest.first(e);
    return true;
}

// Pages above this size are decoded into a buffer marked for large pages: faulting in a fresh 32 MiB of UTF-16
// 4 KiB at a time costs more than the decoding itself.
constexpr qsizetype largePageBytes = 4 * 1024 * 1024;

QString decodeLarge(const QByteArray &bytes, QStringDecoder &decoder)
{
    QString text;
    // A UTF-16 text never has more units than its source has bytes, in UTF-8 and in GBK alike.
    text.resize(bytes.size());
    Platform::adviseLargeBuffer(text.data(), size_t(bytes.size()) * sizeof(QChar));
    const QChar *end = decoder.appendToBuffer(text.data(), bytes);
    text.truncate(end - text.constData());
    return text;
}

} // namespace

QString pageCharset(const QByteArray &bytes)
{
    static const QByteArray charset("charset=");
    const qsizetype p = bytes.indexOf(charset);
    bool utf8 = true;
    if (p >= 0) {
        qsizetype q = p + charset.size();
        // The name may stand in either kind of quotes.
        if (q < bytes.size() && (bytes[q] == '"' || bytes[q] == '\''))
            ++q;
        utf8 = bytes.mid(q, 5).toUpper() == "UTF-8";
    }
    return utf8 ? QStringLiteral("UTF-8") : QStringLiteral("GBK");
}

QString decodePage(const QByteArray &bytes)
{
    const bool utf8 = pageCharset(bytes) == QLatin1String("UTF-8");
    if (bytes.size() < largePageBytes)
        return utf8 ? QString::fromUtf8(bytes) : QStringDecoder("GBK")(bytes);
    // Default flags: a leading byte order mark is dropped, as QString::fromUtf8 drops it.
    QStringDecoder decoder = utf8 ? QStringDecoder(QStringDecoder::Utf8) : QStringDecoder("GBK");
    return decodeLarge(bytes, decoder);
}

QString replaceEntities(QString text)
{
    static const std::pair<QString, QString> entities[] = {
        {QStringLiteral("&ensp;"), QStringLiteral(" ")},  {QStringLiteral("&emsp;"), QStringLiteral("\u3000")},
        {QStringLiteral("&nbsp;"), QStringLiteral(" ")},  {QStringLiteral("&lt;"), QStringLiteral("<")},
        {QStringLiteral("&gt;"), QStringLiteral(">")},    {QStringLiteral("&amp;"), QStringLiteral("&")},
        {QStringLiteral("&quot;"), QStringLiteral("\"")}, {QStringLiteral("&#160;"), QStringLiteral(" ")}};
    // Every entity starts with its only '&': its places are those of the '&'s, found once and again only after a
    // replacement, rather than a search of the whole text for each entity.
    QVarLengthArray<qsizetype, 8> amps;
    const auto findAmps = [&] {
        amps.clear();
        for (qsizetype at = text.indexOf(QLatin1Char('&')); at >= 0; at = text.indexOf(QLatin1Char('&'), at + 1))
            amps.append(at);
    };
    findAmps();
    for (const auto &[entity, replacement] : entities) {
        if (amps.isEmpty())
            break;
        QString replaced;
        qsizetype copied = 0;
        for (const qsizetype at : amps) {
            // The letter after '&' tells most entities apart before a whole comparison.
            if (at + 1 >= text.size() || text.at(at + 1) != entity.at(1) ||
                !QStringView(text).sliced(at).startsWith(entity))
                continue;
            if (copied == 0)
                replaced.reserve(text.size());
            replaced.append(QStringView(text).sliced(copied, at - copied)).append(replacement);
            copied = at + entity.size();
        }
        if (copied > 0) {
            text = replaced.append(QStringView(text).sliced(copied));
            findAmps();
        }
    }
    return text;
}

QString cutTitle(const QString &raw)
{
    return replaceEntities(raw.trimmed()).trimmed();
}

QString cutPrice(const QString &raw)
{
    return raw.isEmpty() ? QString() : replaceEntities(raw).remove(QLatin1Char(' ')).trimmed();
}

QString completeUrl(const QString &url, const QString &nodeUrl)
{
    static const QString separator = QStringLiteral("://");
    if (url.contains(separator))
        return url;
    const qsizetype s = nodeUrl.indexOf(separator);
    if (s < 0)
        return url;
    const qsizetype k = nodeUrl.indexOf(QLatin1Char('/'), s + separator.size());
    const QString prefix = k < 0 ? nodeUrl : nodeUrl.left(k);
    if (url.startsWith(QLatin1Char('/')))
        return prefix + url;
    return prefix + QLatin1Char('/') + url;
}

namespace {

// Whether markers can be searched for in UTF-8 bytes: each must survive the trip to UTF-8 and back unchanged (a lone
// surrogate would not) and must not hold the replacement character, which the bytes of an invalid page do not hold.
bool searchableInUtf8(const QStringList &markers)
{
    return std::all_of(markers.cbegin(), markers.cend(), [](const QString &marker) {
        return !marker.contains(QChar::ReplacementCharacter) && QString::fromUtf8(marker.toUtf8()) == marker;
    });
}

// Appends one part of a row to its key: its length in bytes, or ~0 when the row has no such part, then its units as
// they stand in memory.
template <typename View> void appendPart(QByteArray &key, View part, bool present)
{
    const quint32 bytes = present ? quint32(part.size() * qsizetype(sizeof(*part.data()))) : ~quint32(0);
    key.append(reinterpret_cast<const char *>(&bytes), sizeof bytes);
    if (present && !part.isEmpty())
        key.append(reinterpret_cast<const char *>(part.data()), bytes);
}

// Where a cut stood, for the diagnosis: the table's bounds and the first row's, in the page's units (-1: not found).
struct CutTrace
{
    bool tableBeginFound = false;
    qsizetype start = 0;
    qsizetype end = 0;
    qsizetype firstRow = -1;
    qsizetype firstRowEnd = -1;
};

template <typename Finder, typename View>
int cutRows(View page, const AttentionData &node, QList<TaskData> &taskList, RowMemory *memory = nullptr,
            CutTrace *trace = nullptr)
{
    const QStringList &m = node.rules;
    if (m.size() != markerCount)
        return 0;
    // An empty row end would never consume any text: such a node yields nothing rather than spinning forever.
    if (m[RowEnd].isEmpty())
        return 0;

    const std::array<Finder, markerCount> find = {Finder(m[0]), Finder(m[1]), Finder(m[2]), Finder(m[3]), Finder(m[4]),
                                                  Finder(m[5]), Finder(m[6]), Finder(m[7]), Finder(m[8]), Finder(m[9])};

    // The table: from the first table_begin (or the start) to the first table_end at or after it (or the end).
    const qsizetype tableBegin = find[TableBegin].in(page);
    const qsizetype start = qMax<qsizetype>(0, tableBegin);
    qsizetype end = page.size();
    if (find[TableEnd].size() > 0) {
        const qsizetype found = find[TableEnd].in(page, start);
        if (found >= 0)
            end = found;
    }
    page = page.sliced(start, end - start);
    if (trace)
        *trace = CutTrace{tableBegin >= 0, start, end, -1, -1};

    // Rows are consumed by moving through the page, never by copying what is left of it.
    const bool withPrice = find[PriceBegin].size() > 0 && find[PriceEnd].size() > 0;
    const bool withUrl = find[UrlBegin].size() > 0 && find[UrlEnd].size() > 0;
    qsizetype position = 0;
    int titled = 0;
    QByteArray key; // reused from row to row
    for (int rows = 0; rows < maxRowsPerPage; ++rows) {
        const qsizetype rb = find[RowBegin].in(page, position);
        const qsizetype re = rb < 0 ? -1 : find[RowEnd].in(page, rb);
        if (trace && rows == 0)
            trace->firstRow = rb < 0 ? -1 : start + rb, trace->firstRowEnd = re < 0 ? -1 : start + re;
        if (re < 0)
            break;
        const View row = page.sliced(rb, re - rb);
        position = re + find[RowEnd].size();

        View title, price, url;
        if (!enclosed(row, find[TitleBegin], find[TitleEnd], title))
            continue;
        const bool hasPrice = withPrice && enclosed(row, find[PriceBegin], find[PriceEnd], price);
        const bool hasUrl = withUrl && enclosed(row, find[UrlBegin], find[UrlEnd], url);
        if (memory) {
            // The first byte, the size of a unit, keeps keys of UTF-8 bytes and of UTF-16 text apart.
            key.resize(0);
            key.append(char(sizeof(*page.data())));
            appendPart(key, title, true);
            appendPart(key, price, hasPrice);
            appendPart(key, url, hasUrl);
            if (memory->known(key)) {
                ++titled;
                continue;
            }
        }
        const QString text = Finder::toText(title).trimmed();
        if (text.isEmpty())
            continue;

        TaskData task;
        task.task_name = cutTitle(text);
        task.site_name = node.site_name;
        task.note_name = node.note_name;
        task.note_url = node.node_url;
        if (hasPrice)
            task.task_price = cutPrice(Finder::toText(price));
        if (hasUrl)
            task.task_url = completeUrl(Finder::toText(url).trimmed(), node.node_url);
        ++titled;
        task.attr_mark = 0;
        taskList.append(std::move(task));
        if (memory)
            memory->made(key);
    }
    return titled;
}

} // namespace

int parsePage(const QString &text, const AttentionData &node, QList<TaskData> &taskList)
{
    return cutRows<TextFinder>(QStringView(text), node, taskList);
}

int parseBody(const QByteArray &body, const AttentionData &node, QList<TaskData> &taskList, RowMemory *memory)
{
    if (node.kind == NodeKind::Feed)
        return parseFeed(body, node, taskList, memory);
    if (pageCharset(body) != QLatin1String("UTF-8") || !searchableInUtf8(node.rules)) {
        const QString text = decodePage(body);
        return cutRows<TextFinder>(QStringView(text), node, taskList, memory);
    }
    QByteArrayView bytes(body);
    if (bytes.startsWith(utf8Bom))
        bytes = bytes.sliced(utf8Bom.size());
    return cutRows<ByteFinder>(bytes, node, taskList, memory);
}

QStringList diagnoseBody(const QByteArray &body, const AttentionData &node)
{
    return node.kind == NodeKind::Feed ? diagnoseFeed(body) : diagnosePage(decodePage(body), node);
}

QStringList diagnosePage(const QString &text, const AttentionData &node)
{
    const QStringList &m = node.rules;
    const auto quoted = [](const QString &marker) { return QLatin1Char('"') + marker + QLatin1Char('"'); };
    if (m.size() != markerCount)
        return {QStringLiteral("the node has %1 markers instead of %2").arg(m.size()).arg(markerCount)};
    if (m[RowEnd].isEmpty())
        return {QStringLiteral("row_end is empty, so no row can end")};
    // Where the one cut stopped, when it found nothing.
    QList<TaskData> tasks;
    CutTrace cut;
    const int titled = cutRows<TextFinder>(QStringView(text), node, tasks, nullptr, &cut);
    QStringList lines;
    if (!cut.tableBeginFound && titled == 0)
        lines << QStringLiteral("table_begin %1 is not on the page, so the whole page is searched")
                     .arg(quoted(m[TableBegin]));
    const qsizetype start = cut.start, end = cut.end, firstRow = cut.firstRow, firstRowEnd = cut.firstRowEnd;
    if (titled > 0)
        lines.clear();
    else if (firstRow < 0 || firstRow >= end)
        lines << QStringLiteral("row_begin %1 is not found after the table's start (character %2, the table ends at "
                                "character %3)")
                     .arg(quoted(m[RowBegin]))
                     .arg(start)
                     .arg(end);
    else if (firstRowEnd < 0 || firstRowEnd > end)
        lines << QStringLiteral("a row begins at character %1 but row_end %2 does not follow it within the table")
                     .arg(firstRow)
                     .arg(quoted(m[RowEnd]));
    else
        lines << QStringLiteral("rows are found, but none holds a title between title_begin %1 and title_end %2")
                     .arg(quoted(m[TitleBegin]), quoted(m[TitleEnd]));
    static const QRegularExpression entity(QStringLiteral("&#?[A-Za-z0-9]+;"));
    QSet<QString> told;
    for (const TaskData &task : std::as_const(tasks)) {
        const QRegularExpressionMatch left = entity.match(task.task_name);
        if (left.hasMatch() && !told.contains(left.captured())) {
            told.insert(left.captured());
            lines << QStringLiteral("warning: the entity %1 stays as it is in titles (\"%2\")")
                         .arg(left.captured(), task.task_name);
        }
    }
    // Addresses are completed from the host's root: one relative to the page's folder points elsewhere.
    if (!m[UrlBegin].isEmpty() && !m[UrlEnd].isEmpty()) {
        AttentionData raw = node;
        raw.node_url.clear(); // leaves addresses as the page writes them
        QList<TaskData> rawTasks;
        parsePage(text, raw, rawTasks);
        for (const TaskData &task : std::as_const(rawTasks)) {
            if (!task.task_url.isEmpty() && !task.task_url.contains(QStringLiteral("://")) &&
                !task.task_url.startsWith(QLatin1Char('/'))) {
                lines << QStringLiteral("warning: the address \"%1\" is neither absolute nor root-relative; Kestrow "
                                        "completes it from the host root: %2")
                             .arg(task.task_url, completeUrl(task.task_url, node.node_url));
                break;
            }
        }
    }
    return lines;
}
