#include "scan/markerinference.h"

#include "scan/htmltext.h"
#include "scan/pages.h"
#include "sites/catalogschema.h"

#include <QElapsedTimer>
#include <QHash>
#include <QRegularExpression>

#include <algorithm>
#include <optional>

namespace MarkerInference {

namespace {

using namespace CatalogSchema;

// How many places of the example, list shapes, and candidates of each marker are weighed at the most: enough for
// any real page, few enough that a hostile one ends quickly.
constexpr int maxOccurrences = 16;
constexpr int maxLevels = 8;
constexpr int maxCandidates = 12;
// How far back a begin marker may reach for text that is the same in every row.
constexpr qsizetype maxMarkerLength = 160;

// An element of the page as a lenient browser-like reading finds it, by its offsets in the page's text.
struct Element
{
    int name = -1; // index into Page::names
    int parent = -1;
    int firstChild = -1;
    int nextSibling = -1;
    qsizetype openStart = 0;  // '<' of the start tag
    qsizetype openEnd = 0;    // after its '>'
    qsizetype closeStart = 0; // '<' of the end tag, or where the element ended without one
    qsizetype closeEnd = 0;
};

// A run of text between tags, and where its visible text stands.
struct Segment
{
    qsizetype sourceStart;
    qsizetype visibleStart;
    qsizetype visibleLength;
    int element;
};

bool isVoid(QStringView name)
{
    static const QStringList voids = {QStringLiteral("area"),  QStringLiteral("base"),  QStringLiteral("br"),
                                      QStringLiteral("col"),   QStringLiteral("embed"), QStringLiteral("hr"),
                                      QStringLiteral("img"),   QStringLiteral("input"), QStringLiteral("link"),
                                      QStringLiteral("meta"),  QStringLiteral("param"), QStringLiteral("source"),
                                      QStringLiteral("track"), QStringLiteral("wbr")};
    return voids.contains(name);
}

// The page read into elements and visible text.
class Page
{
public:
    Page(const QString &text, const QElapsedTimer &clock, qint64 budgetMs) : text(text)
    {
        complete = read(clock, budgetMs);
    }

    const QString &text;
    QStringList names;
    QList<Element> elements;
    QString visible;
    QList<Segment> segments;
    bool complete = false;

    QStringView name(int element) const { return names[elements[element].name]; }
    QStringView source(int element) const
    {
        const Element &e = elements[element];
        return QStringView(text).sliced(e.openStart, e.closeEnd - e.openStart);
    }
    QStringView openTag(int element) const
    {
        const Element &e = elements[element];
        return QStringView(text).sliced(e.openStart, e.openEnd - e.openStart);
    }
    QStringView inner(int element) const
    {
        const Element &e = elements[element];
        return QStringView(text).sliced(e.openEnd, e.closeStart - e.openEnd);
    }
    // The value of an attribute in the element's start tag, and where it starts; empty and -1 when it has none.
    QString attribute(int element, QLatin1String wanted, qsizetype *at = nullptr) const
    {
        const QStringView tag = openTag(element);
        const auto space = [&tag](qsizetype i) {
            return i < tag.size() && (tag[i].isSpace() || tag[i] == QLatin1Char('/'));
        };
        qsizetype i = 1 + names[elements[element].name].size();
        while (i < tag.size() && tag[i] != QLatin1Char('>')) {
            while (space(i))
                ++i;
            const qsizetype nameStart = i;
            while (i < tag.size() && !tag[i].isSpace() && tag[i] != QLatin1Char('=') && tag[i] != QLatin1Char('>'))
                ++i;
            const QStringView attributeName = tag.sliced(nameStart, i - nameStart);
            while (i < tag.size() && tag[i].isSpace())
                ++i;
            qsizetype valueStart = -1, valueEnd = -1;
            if (i < tag.size() && tag[i] == QLatin1Char('=')) {
                ++i;
                while (i < tag.size() && tag[i].isSpace())
                    ++i;
                if (i < tag.size() && (tag[i] == QLatin1Char('"') || tag[i] == QLatin1Char('\''))) {
                    const QChar quote = tag[i];
                    valueStart = ++i;
                    while (i < tag.size() && tag[i] != quote)
                        ++i;
                    valueEnd = i;
                    i += i < tag.size();
                } else {
                    valueStart = i;
                    while (i < tag.size() && !tag[i].isSpace() && tag[i] != QLatin1Char('>'))
                        ++i;
                    valueEnd = i;
                }
            }
            if (attributeName.compare(wanted, Qt::CaseInsensitive) == 0) {
                if (at)
                    *at = valueStart < 0 ? -1 : elements[element].openStart + valueStart;
                return valueStart < 0 ? QStringLiteral("") : tag.sliced(valueStart, valueEnd - valueStart).toString();
            }
            if (i == nameStart)
                ++i;
        }
        if (at)
            *at = -1;
        return QString();
    }
    int depth(int element) const
    {
        int d = 0;
        for (; element >= 0; element = elements[element].parent)
            ++d;
        return d;
    }
    int commonAncestor(int a, int b) const
    {
        int da = depth(a), db = depth(b);
        for (; da > db; --da)
            a = elements[a].parent;
        for (; db > da; --db)
            b = elements[b].parent;
        while (a != b)
            a = elements[a].parent, b = elements[b].parent;
        return a;
    }
    // Whether element is ancestor or stands inside it, by their places in the page.
    bool inside(int ancestor, int element) const
    {
        const Element &a = elements[ancestor];
        return elements[element].openStart >= a.openStart && elements[element].openStart < a.closeEnd;
    }
    // The element's visible text, white space made single spaces.
    QString visibleText(int element) const
    {
        const Element &e = elements[element];
        QString out;
        auto segment = std::lower_bound(segments.cbegin(), segments.cend(), e.openEnd,
                                        [](const Segment &s, qsizetype at) { return s.sourceStart < at; });
        for (; segment != segments.cend() && segment->sourceStart < e.closeStart; ++segment)
            out += QStringView(visible).sliced(segment->visibleStart, segment->visibleLength);
        return out.simplified();
    }

private:
    int nameId(QStringView tagName)
    {
        const QString lower = tagName.toString().toLower();
        const auto found = m_nameIds.constFind(lower);
        if (found != m_nameIds.constEnd())
            return *found;
        names.append(lower);
        return m_nameIds.insert(lower, int(names.size() - 1)).value();
    }

    void addChild(int parent, int child)
    {
        elements[child].parent = parent;
        if (parent < 0)
            return;
        if (m_lastChild.size() < elements.size())
            m_lastChild.resize(elements.size(), -1);
        if (elements[parent].firstChild < 0)
            elements[parent].firstChild = child;
        else
            elements[m_lastChild[parent]].nextSibling = child;
        m_lastChild[parent] = child;
    }

    void close(int element, qsizetype start, qsizetype end)
    {
        elements[element].closeStart = start;
        elements[element].closeEnd = end;
    }

    void addText(qsizetype from, qsizetype to, int element, bool &pendingSpace)
    {
        const QString decoded = HtmlText::decodeEntities(QStringView(text).sliced(from, to - from));
        const qsizetype start = visible.size();
        for (const QChar c : decoded) {
            if (c.isSpace() || c == QChar(0x00a0) || c == QChar(0x3000)) {
                pendingSpace = true;
                continue;
            }
            if (pendingSpace && !visible.isEmpty() && !visible.endsWith(QLatin1Char(' ')))
                visible += QLatin1Char(' ');
            pendingSpace = false;
            visible += c;
        }
        if (visible.size() > start)
            segments.append(Segment{from, start, visible.size() - start, element});
    }

    bool read(const QElapsedTimer &clock, qint64 budgetMs)
    {
        QList<int> open;
        QHash<int, int> openByName; // how many of each name are open: an end tag nothing open has costs no search
        const auto top = [&open] { return open.isEmpty() ? -1 : open.last(); };
        const auto pop = [&] {
            const int element = open.takeLast();
            --openByName[elements[element].name];
            return element;
        };
        bool pendingSpace = false;
        const qsizetype n = text.size();
        qsizetype i = 0;
        for (qsizetype textStart = 0, step = 0; i < n; ++step) {
            if ((step & 0xfff) == 0 && clock.elapsed() > budgetMs)
                return false;
            const qsizetype lt = text.indexOf(QLatin1Char('<'), i);
            const qsizetype at = lt < 0 ? n : lt;
            if (at > textStart)
                addText(textStart, at, top(), pendingSpace);
            if (lt < 0)
                break;
            const QStringView rest = QStringView(text).sliced(lt);
            if (rest.startsWith(QLatin1String("<!--"))) {
                const qsizetype end = text.indexOf(QLatin1String("-->"), lt + 4);
                i = textStart = end < 0 ? n : end + 3;
                continue;
            }
            const bool closing = rest.size() > 1 && rest[1] == QLatin1Char('/');
            const qsizetype nameStart = lt + (closing ? 2 : 1);
            qsizetype nameEnd = nameStart;
            while (nameEnd < n && (text[nameEnd].isLetterOrNumber() || text[nameEnd] == QLatin1Char('-') ||
                                   text[nameEnd] == QLatin1Char(':')))
                ++nameEnd;
            if (nameEnd == nameStart || !text[nameStart].isLetter()) {
                // "<!DOCTYPE", "<?xml": skipped; a lone '<' is text.
                if (rest.size() > 1 && (rest[1] == QLatin1Char('!') || rest[1] == QLatin1Char('?'))) {
                    const qsizetype end = text.indexOf(QLatin1Char('>'), lt);
                    i = textStart = end < 0 ? n : end + 1;
                } else {
                    i = lt + 1;
                    textStart = at; // the '<' is text
                }
                continue;
            }
            // The tag's end, quotes honoured.
            qsizetype end = nameEnd;
            QChar quote;
            for (; end < n; ++end) {
                const QChar c = text[end];
                if (!quote.isNull()) {
                    if (c == quote)
                        quote = QChar();
                } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
                    quote = c;
                } else if (c == QLatin1Char('>')) {
                    break;
                }
            }
            if (end >= n)
                break;
            const QStringView tagName = QStringView(text).sliced(nameStart, nameEnd - nameStart);
            const int id = nameId(tagName);
            if (HtmlText::isBlockTag(names[id]))
                pendingSpace = true;
            i = textStart = end + 1;
            if (closing) {
                // Closes the nearest open element of that name, and whatever was left open inside it.
                for (qsizetype k = open.size() - 1; k >= 0 && openByName.value(id) > 0; --k) {
                    if (elements[open[k]].name != id)
                        continue;
                    while (open.size() > k) {
                        const int element = pop();
                        close(element, lt, open.size() == k ? end + 1 : lt);
                    }
                    break;
                }
                continue;
            }
            // A new row or cell ends the one still open, as browsers do.
            static const QStringList closesItself = {
                QStringLiteral("li"), QStringLiteral("tr"), QStringLiteral("td"), QStringLiteral("th"),
                QStringLiteral("p"),  QStringLiteral("dt"), QStringLiteral("dd"), QStringLiteral("option")};
            const auto cell = [](QStringView n) { return n == QLatin1String("td") || n == QLatin1String("th"); };
            const auto term = [](QStringView n) { return n == QLatin1String("dt") || n == QLatin1String("dd"); };
            if (top() >= 0) {
                const QStringView opened = name(top()), opening = names[id];
                if ((opened == opening && closesItself.contains(opening)) || (cell(opened) && cell(opening)) ||
                    (term(opened) && term(opening)))
                    close(pop(), lt, lt);
            }
            Element element;
            element.name = id;
            element.openStart = lt;
            element.openEnd = end + 1;
            element.closeStart = element.closeEnd = end + 1;
            elements.append(element);
            const int index = int(elements.size() - 1);
            addChild(top(), index);
            const bool selfClosing = text[end - 1] == QLatin1Char('/');
            if (isVoid(names[id]) || selfClosing)
                continue;
            if (names[id] == QLatin1String("script") || names[id] == QLatin1String("style")) {
                // Raw text up to the end tag.
                const qsizetype close = text.indexOf(QLatin1String("</") + names[id], end + 1, Qt::CaseInsensitive);
                const qsizetype closeEnd = close < 0 ? n : text.indexOf(QLatin1Char('>'), close);
                this->close(index, close < 0 ? n : close, closeEnd < 0 ? n : closeEnd + 1);
                i = textStart = closeEnd < 0 ? n : closeEnd + 1;
                continue;
            }
            open.append(index);
            ++openByName[id];
        }
        while (!open.isEmpty())
            close(pop(), n, n);
        return true;
    }

    QHash<QString, int> m_nameIds;
    QList<int> m_lastChild;
};

// The path from a row element down to an element inside it, step by step: name and class.
struct Step
{
    int name;
    QString cls;
    int nth;       // how many siblings of that name and class come before it
    int nthByName; // and of that name alone
};

QList<Step> pathBetween(const Page &page, int row, int element)
{
    QList<Step> steps;
    for (int e = element; e != row && e >= 0; e = page.elements[e].parent) {
        Step step{page.elements[e].name, page.attribute(e, QLatin1String("class")), 0, 0};
        for (int sibling = page.elements[page.elements[e].parent].firstChild; sibling != e;
             sibling = page.elements[sibling].nextSibling) {
            if (page.elements[sibling].name == step.name) {
                ++step.nthByName;
                step.nth += page.attribute(sibling, QLatin1String("class")) == step.cls;
            }
        }
        steps.prepend(step);
    }
    return steps;
}

// The element at path in row: at each step the child of that name and class that stands where the path's did among
// its like, else the one of that name that does, else the first of that name and class, else of that name. (A badge
// before the title in some rows only shifts the title among the row's children, not among its like.)
int follow(const Page &page, int row, const QList<Step> &path)
{
    int current = row;
    for (const Step &step : path) {
        int exact = -1, byName = -1, firstExact = -1, firstByName = -1, seenExact = 0, seenByName = 0;
        for (int child = page.elements[current].firstChild; child >= 0 && exact < 0;
             child = page.elements[child].nextSibling) {
            if (page.elements[child].name != step.name)
                continue;
            if (firstByName < 0)
                firstByName = child;
            if (seenByName++ == step.nthByName)
                byName = child;
            if (page.attribute(child, QLatin1String("class")) == step.cls) {
                if (firstExact < 0)
                    firstExact = child;
                if (seenExact++ == step.nth)
                    exact = child;
            }
        }
        current = exact >= 0 ? exact : byName >= 0 ? byName : firstExact >= 0 ? firstExact : firstByName;
        if (current < 0)
            return -1;
    }
    return current;
}

// The element that links a row's title: the title if it is a link, a link around it, else the first link in it.
int linkOf(const Page &page, int row, int title)
{
    const auto isLink = [&page](int e) {
        return page.name(e) == QLatin1String("a") && !page.attribute(e, QLatin1String("href")).isNull();
    };
    for (int e = title; e >= 0; e = page.elements[e].parent) {
        if (isLink(e))
            return e;
        if (e == row)
            break;
    }
    // The first link inside the title, else the row's first.
    for (int scope : {title, row}) {
        for (int e = scope + 1; e < page.elements.size() && page.elements[e].openStart < page.elements[scope].closeEnd;
             ++e) {
            if (isLink(e))
                return e;
        }
    }
    return -1;
}

// One list of rows the example stands in, and what each row's task must be.
struct Rows
{
    QList<int> rows, titles, links, prices;
    QList<TaskData> expected;
};

QString titleOf(QStringView raw)
{
    return cutTitle(raw.toString());
}

QString priceOf(QStringView raw)
{
    return cutPrice(raw.toString());
}

// A marker's weight against others that work as well: ids and line breaks change, tag and class text does not.
int penalty(const QString &marker)
{
    static const QRegularExpression digits(QStringLiteral("\\d{3,}"));
    return (marker.contains(digits) ? 1000 : 0) + (marker.contains(QLatin1Char('\n')) ? 200 : 0) + int(marker.size());
}

void sortByPenalty(QStringList &markers)
{
    markers.removeDuplicates();
    std::stable_sort(markers.begin(), markers.end(),
                     [](const QString &a, const QString &b) { return penalty(a) < penalty(b); });
    if (markers.size() > maxCandidates)
        markers.resize(maxCandidates);
}

bool boundaryBefore(const QString &text, qsizetype p)
{
    if (p <= 0)
        return true;
    const QChar c = text[p], before = text[p - 1];
    return c == QLatin1Char('<') || before == QLatin1Char(' ') || before == QLatin1Char('"') ||
           before == QLatin1Char('\'') || before == QLatin1Char('>') || before == QLatin1Char('\n');
}

// Texts ending at anchor that start at a word or tag boundary, at or after floor.
QStringList beginsEndingAt(const QString &text, qsizetype anchor, qsizetype floor)
{
    QStringList candidates;
    for (qsizetype p = anchor - 1; p >= qMax(floor, anchor - maxMarkerLength); --p) {
        if (boundaryBefore(text, p) && !text[p].isSpace())
            candidates << text.mid(p, anchor - p);
    }
    sortByPenalty(candidates);
    return candidates;
}

// Texts starting at anchor: up to the next '<', and through the next one, two or three tags.
QStringList endsStartingAt(const QString &text, qsizetype anchor)
{
    // The value's own end: the next tag, or the quote (or space) after an attribute.
    QStringList candidates{anchor < text.size() ? QString(text[anchor]) : QString()};
    qsizetype p = anchor;
    for (int tags = 0; tags < 3; ++tags) {
        const qsizetype close = text.indexOf(QLatin1Char('>'), p);
        if (close < 0 || close - anchor > maxMarkerLength)
            break;
        candidates << text.mid(anchor, close + 1 - anchor);
        p = close + 1;
    }
    candidates.removeAll(QString());
    return candidates;
}

// The longest start, or end, that every one of the texts has.
QStringView shared(const QList<QStringView> &texts, bool atEnd)
{
    QStringView common = texts.first();
    for (const QStringView text : texts) {
        const auto same = [&](qsizetype k) {
            return atEnd ? common[common.size() - 1 - k] == text[text.size() - 1 - k] : common[k] == text[k];
        };
        qsizetype k = 0;
        while (k < common.size() && k < text.size() && same(k))
            ++k;
        common = atEnd ? common.last(k) : common.first(k);
    }
    return common;
}

// The longest text every row's part ends with, from a '<' on, and its shorter tails: candidates for a row's end.
QStringList commonEndings(const Page &page, const QList<int> &elements)
{
    QList<QStringView> sources;
    for (int e : elements)
        sources << page.source(e);
    const QStringView common = shared(sources, true);
    QStringList candidates;
    for (qsizetype p = common.size() - 1; p >= 0 && candidates.size() < 3; --p) {
        if (common[p] == QLatin1Char('<') && p + 1 < common.size() && common[p + 1] == QLatin1Char('/'))
            candidates << common.sliced(p).toString();
    }
    return candidates;
}

// The longest start every element's start tag shares, cut at a boundary, and the bare "<name" with its delimiter.
QStringList commonStarts(const Page &page, const QList<int> &elements)
{
    QList<QStringView> tags;
    for (int e : elements)
        tags << page.openTag(e);
    const QStringView common = shared(tags, false);
    QStringList candidates;
    const qsizetype nameLength = page.name(elements.first()).size() + 1;
    if (common.size() > nameLength) {
        qsizetype cut = common.size();
        // Cut back to after a quote or a space, unless the whole tag is common.
        if (!common.endsWith(QLatin1Char('>'))) {
            while (cut > nameLength && common[cut - 1] != QLatin1Char(' ') && common[cut - 1] != QLatin1Char('"') &&
                   common[cut - 1] != QLatin1Char('\''))
                --cut;
        }
        if (cut > nameLength)
            candidates << common.first(cut).toString();
        // Uncut too: an address's common start ("href=\"/t/") tells the row's link from the other links in it.
        if (cut < common.size())
            candidates << common.toString();
    }
    if (common.size() > nameLength)
        candidates << common.first(nameLength + 1).toString();
    return candidates;
}

// Where a field stands in each row, and what the markers around it must give.
struct Field
{
    QList<qsizetype> anchors; // where the value starts, per row
    QList<qsizetype> closes;  // where the value ends
    QList<QString> values;    // what the cut must give, per row
    bool present(int row) const { return anchors[row] >= 0; }
};

template <typename Value>
std::optional<QPair<QString, QString>> pairFor(const QString &text, const QList<QStringView> &rows, const Field &field,
                                               int exampleRow, Value value)
{
    if (!field.present(exampleRow))
        return std::nullopt;
    const qsizetype anchor = field.anchors[exampleRow];
    const qsizetype rowStart = rows[exampleRow].data() - text.constData();
    const QStringList begins = beginsEndingAt(text, anchor, rowStart);
    const QStringList ends = endsStartingAt(text, field.closes[exampleRow]);
    for (const QString &begin : begins) {
        for (const QString &end : ends) {
            bool all = true;
            for (qsizetype r = 0; r < rows.size() && all; ++r) {
                const QStringView row = rows[r];
                const qsizetype b = row.indexOf(begin);
                QString got;
                bool found = false;
                if (b >= 0) {
                    const qsizetype e = row.indexOf(end, b + begin.size());
                    if (e >= 0) {
                        found = true;
                        got = value(row.sliced(b + begin.size(), e - b - begin.size()));
                    }
                }
                all = found ? got == field.values[r] : field.values[r].isEmpty() && !field.present(int(r));
            }
            if (all)
                return qMakePair(begin, end);
        }
    }
    return std::nullopt;
}

class Search
{
public:
    Search(const Page &page, const QString &pageUrl, const Example &example, const QElapsedTimer &clock, qint64 budget)
        : page(page), text(page.text), pageUrl(pageUrl), example(example), clock(clock), budget(budget)
    {
    }

    Result run()
    {
        Result result;
        const QString wanted = example.title.simplified();
        if (wanted.isEmpty()) {
            result.problem = QStringLiteral("the example title is empty");
            return result;
        }
        QList<qsizetype> occurrences;
        for (qsizetype at = page.visible.indexOf(wanted); at >= 0 && occurrences.size() < maxOccurrences;
             at = page.visible.indexOf(wanted, at + 1))
            occurrences << at;
        if (occurrences.isEmpty()) {
            for (qsizetype at = page.visible.indexOf(wanted, 0, Qt::CaseInsensitive);
                 at >= 0 && occurrences.size() < maxOccurrences;
                 at = page.visible.indexOf(wanted, at + 1, Qt::CaseInsensitive))
                occurrences << at;
        }
        if (occurrences.isEmpty()) {
            result.problem = QStringLiteral("the example title \"%1\" is not on the page").arg(wanted);
            return result;
        }
        for (const qsizetype at : std::as_const(occurrences)) {
            const int title = titleElement(at, wanted.size());
            if (title < 0)
                continue;
            int row = page.elements[title].parent;
            for (int level = 0; level < maxLevels && row >= 0 && !overBudget();
                 ++level, row = page.elements[row].parent)
                tryRows(row, title, result);
        }
        if (!result.found && result.problem.isEmpty())
            result.problem =
                overBudget() ? QStringLiteral("the page is too large to search within the time allowed")
                             : QStringLiteral("no markers were found that cut two or more rows including the example");
        return result;
    }

private:
    bool overBudget() const { return clock.elapsed() > budget; }

    // The smallest element holding the example's visible text at visible offset at.
    int titleElement(qsizetype at, qsizetype length) const
    {
        const auto segmentAt = [this](qsizetype offset) {
            const auto it = std::upper_bound(page.segments.cbegin(), page.segments.cend(), offset,
                                             [](qsizetype o, const Segment &s) { return o < s.visibleStart; });
            return it == page.segments.cbegin() ? -1 : int(it - page.segments.cbegin() - 1);
        };
        const int first = segmentAt(at), last = segmentAt(at + length - 1);
        if (first < 0 || last < 0 || page.segments[first].element < 0 || page.segments[last].element < 0)
            return -1;
        return page.commonAncestor(page.segments[first].element, page.segments[last].element);
    }

    // Weighs the siblings of row like it as the list, and keeps the markers found when they beat what result holds.
    void tryRows(int row, int title, Result &result)
    {
        const int parent = page.elements[row].parent;
        if (parent < 0)
            return;
        const QList<Step> titlePath = pathBetween(page, row, title);
        Rows rows;
        int exampleRow = -1;
        // The cut reads no more rows than a page may give, and neither does this.
        for (int sibling = page.elements[parent].firstChild; sibling >= 0 && rows.rows.size() < maxRowsPerPage;
             sibling = page.elements[sibling].nextSibling) {
            if (page.elements[sibling].name != page.elements[row].name)
                continue;
            const int t = follow(page, sibling, titlePath);
            if (t < 0 || titleOf(page.inner(t)).isEmpty())
                continue;
            if (sibling == row)
                exampleRow = int(rows.rows.size());
            rows.rows << sibling;
            rows.titles << t;
            rows.links << linkOf(page, sibling, t);
        }
        if (rows.rows.size() < 2 || exampleRow < 0 || rows.titles[exampleRow] != title ||
            rows.rows.size() <= result.tasks.size())
            return;
        // The price: the innermost element of the example's row, outside its title, that shows it (a price typed as
        // "500" is found in "¥500 元"), and the same place in the others.
        if (!example.price.isEmpty()) {
            const QString price = QString(example.price).remove(QRegularExpression(QStringLiteral("\\s")));
            int best = -1;
            for (int e = row + 1;
                 e < page.elements.size() && page.elements[e].openStart < page.elements[row].closeEnd && !overBudget();
                 ++e) {
                // Past the element found and all inside it: the first one showing the price is the one.
                if (best >= 0 && !page.inside(best, e))
                    break;
                if (!page.inside(title, e) && QString(page.visibleText(e)).remove(QLatin1Char(' ')).contains(price))
                    best = e;
            }
            if (best < 0) {
                if (result.problem.isEmpty())
                    result.problem = QStringLiteral("the example price \"%1\" is not in the example's row").arg(price);
                return;
            }
            const QList<Step> pricePath = pathBetween(page, row, best);
            for (int r : std::as_const(rows.rows))
                rows.prices << follow(page, r, pricePath);
        }
        for (qsizetype r = 0; r < rows.rows.size(); ++r) {
            TaskData task;
            task.task_name = titleOf(page.inner(rows.titles[r]));
            if (rows.links[r] >= 0)
                task.task_url = completeUrl(page.attribute(rows.links[r], QLatin1String("href")).trimmed(), pageUrl);
            if (!rows.prices.isEmpty() && rows.prices[r] >= 0)
                task.task_price = priceOf(page.inner(rows.prices[r]));
            rows.expected << task;
        }
        findMarkers(rows, exampleRow, result);
    }

    // Where each row's fields start and end in the page, for the row markers to enclose.
    qsizetype fieldsStart(const Rows &rows, int r) const
    {
        qsizetype start = page.elements[rows.titles[r]].openStart;
        if (rows.links[r] >= 0)
            start = qMin(start, page.elements[rows.links[r]].openStart);
        if (!rows.prices.isEmpty() && rows.prices[r] >= 0)
            start = qMin(start, page.elements[rows.prices[r]].openStart);
        return start;
    }
    qsizetype fieldsEnd(const Rows &rows, int r) const
    {
        qsizetype end = page.elements[rows.titles[r]].closeEnd;
        if (rows.links[r] >= 0)
            end = qMax(end, page.elements[rows.links[r]].openEnd);
        if (!rows.prices.isEmpty() && rows.prices[r] >= 0)
            end = qMax(end, page.elements[rows.prices[r]].closeEnd);
        return end;
    }

    void findMarkers(const Rows &rows, int exampleRow, Result &result)
    {
        // Row begins: the start tags of the row and of each element between it and the title, all rows alike.
        QStringList rowBegins;
        const QList<Step> path = pathBetween(page, rows.rows[exampleRow], rows.titles[exampleRow]);
        for (qsizetype depth = 0; depth <= path.size(); ++depth) {
            QList<int> level;
            for (int r : rows.rows) {
                const int e = follow(page, r, path.first(depth));
                if (e >= 0)
                    level << e;
            }
            if (level.size() == rows.rows.size())
                rowBegins += commonStarts(page, level);
        }
        // Row ends: how the row and the elements holding every field end.
        QStringList rowEnds;
        for (qsizetype depth = 0; depth <= path.size(); ++depth) {
            QList<int> level;
            bool holdsAll = true;
            for (qsizetype r = 0; r < rows.rows.size() && holdsAll; ++r) {
                const int e = follow(page, rows.rows[r], path.first(depth));
                holdsAll = e >= 0 && page.elements[e].openStart <= fieldsStart(rows, int(r)) &&
                           page.elements[e].closeEnd >= fieldsEnd(rows, int(r)) &&
                           page.elements[e].closeEnd > page.elements[e].closeStart;
                level << e;
            }
            if (holdsAll)
                rowEnds += commonEndings(page, level);
        }
        rowBegins.removeDuplicates();
        rowEnds.removeDuplicates();
        for (const QString &rowBegin : std::as_const(rowBegins)) {
            for (const QString &rowEnd : std::as_const(rowEnds)) {
                if (overBudget())
                    return;
                QList<QStringView> slices;
                if (!rowSlices(rows, rowBegin, rowEnd, slices))
                    continue;
                QStringList markers(markerCount);
                markers[RowBegin] = rowBegin;
                markers[RowEnd] = rowEnd;
                if (!fieldMarkers(rows, slices, exampleRow, markers))
                    continue;
                if (tableMarkers(rows, slices, markers, result))
                    return;
            }
        }
    }

    // Each row as the cut would take it, when the row markers enclose every field of it and no other row's.
    bool rowSlices(const Rows &rows, const QString &rowBegin, const QString &rowEnd, QList<QStringView> &slices) const
    {
        qsizetype previousEnd = 0;
        for (qsizetype r = 0; r < rows.rows.size(); ++r) {
            const qsizetype from = qMax(previousEnd, page.elements[rows.rows[r]].openStart);
            const qsizetype b = text.indexOf(rowBegin, from);
            if (b < 0 || b > fieldsStart(rows, int(r)))
                return false;
            const qsizetype e = text.indexOf(rowEnd, b);
            if (e < fieldsEnd(rows, int(r)) || (r + 1 < rows.rows.size() && e >= fieldsStart(rows, int(r + 1))))
                return false;
            slices << QStringView(text).sliced(b, e - b);
            previousEnd = e + rowEnd.size();
        }
        return true;
    }

    bool fieldMarkers(const Rows &rows, const QList<QStringView> &slices, int exampleRow, QStringList &markers) const
    {
        const qsizetype count = rows.rows.size();
        Field title, url, price;
        for (qsizetype r = 0; r < count; ++r) {
            const Element &t = page.elements[rows.titles[r]];
            title.anchors << t.openEnd;
            title.closes << t.closeStart;
            title.values << rows.expected[r].task_name;
            qsizetype hrefAt = -1;
            QString href;
            if (rows.links[r] >= 0)
                href = page.attribute(rows.links[r], QLatin1String("href"), &hrefAt);
            url.anchors << hrefAt;
            url.closes << (hrefAt < 0 ? -1 : hrefAt + href.size());
            url.values << rows.expected[r].task_url;
            const int p = rows.prices.isEmpty() ? -1 : rows.prices[r];
            price.anchors << (p < 0 ? -1 : page.elements[p].openEnd);
            price.closes << (p < 0 ? -1 : page.elements[p].closeStart);
            price.values << rows.expected[r].task_price;
        }
        const auto titlePair = pairFor(text, slices, title, exampleRow, [](QStringView raw) { return titleOf(raw); });
        if (!titlePair)
            return false;
        markers[TitleBegin] = titlePair->first;
        markers[TitleEnd] = titlePair->second;
        if (url.present(exampleRow)) {
            const auto urlPair = pairFor(text, slices, url, exampleRow, [this](QStringView raw) {
                return completeUrl(raw.trimmed().toString(), pageUrl);
            });
            if (!urlPair)
                return false;
            markers[UrlBegin] = urlPair->first;
            markers[UrlEnd] = urlPair->second;
        }
        if (!rows.prices.isEmpty()) {
            const auto pricePair =
                pairFor(text, slices, price, exampleRow, [](QStringView raw) { return priceOf(raw); });
            if (!pricePair)
                return false;
            markers[PriceBegin] = pricePair->first;
            markers[PriceEnd] = pricePair->second;
        }
        return true;
    }

    // Table markers that leave exactly these rows to the cut: none, or the start and end of an element around them.
    bool tableMarkers(const Rows &rows, const QList<QStringView> &slices, QStringList markers, Result &result) const
    {
        const qsizetype firstRow = slices.first().data() - text.constData();
        const qsizetype lastRowEnd = slices.last().data() - text.constData() + slices.last().size();
        QStringList begins{QString()}, ends{QString()};
        for (int e = page.elements[rows.rows.first()].parent, up = 0; e >= 0 && up < 3;
             e = page.elements[e].parent, ++up) {
            const QString tag = page.openTag(e).toString();
            begins << tag;
            const qsizetype space = tag.indexOf(QLatin1Char(' '));
            const qsizetype classAt = tag.indexOf(QLatin1String("class="));
            if (classAt > 0) {
                const QChar quote = classAt + 6 < tag.size() ? tag[classAt + 6] : QChar();
                const qsizetype close = tag.indexOf(quote, classAt + 7);
                if (close > 0)
                    begins << tag.left(close + 1);
            } else if (space > 0) {
                begins << tag.left(space);
            }
            ends += endsStartingAt(text, page.elements[e].closeStart).mid(1);
            const int next = page.elements[e].nextSibling;
            if (next >= 0)
                ends += commonStarts(page, {next}).mid(0, 1);
        }
        sortByPenalty(begins);
        sortByPenalty(ends);
        begins.prepend(QString());
        ends.prepend(QString());
        begins.removeDuplicates();
        ends.removeDuplicates();
        for (const QString &begin : std::as_const(begins)) {
            const qsizetype start = begin.isEmpty() ? 0 : text.indexOf(begin);
            if (start < 0 || start > firstRow)
                continue;
            for (const QString &end : std::as_const(ends)) {
                if (overBudget())
                    return false;
                if (!end.isEmpty()) {
                    const qsizetype stop = text.indexOf(end, start);
                    if (stop >= 0 && stop < lastRowEnd)
                        continue;
                }
                markers[TableBegin] = begin;
                markers[TableEnd] = end;
                if (cutsExactly(rows, markers)) {
                    result.found = true;
                    result.markers = markers;
                    result.tasks = rows.expected;
                    result.problem.clear();
                    return true;
                }
            }
        }
        return false;
    }

    bool cutsExactly(const Rows &rows, const QStringList &markers) const
    {
        QList<TaskData> tasks;
        parsePage(text, AttentionData{QString(), QString(), pageUrl, markers}, tasks);
        if (tasks.size() != rows.expected.size())
            return false;
        for (qsizetype i = 0; i < tasks.size(); ++i) {
            const TaskData &want = rows.expected[i];
            if (tasks[i].task_name != want.task_name || tasks[i].task_url != want.task_url ||
                tasks[i].task_price != want.task_price)
                return false;
        }
        return true;
    }

    const Page &page;
    const QString &text;
    const QString &pageUrl;
    const Example &example;
    const QElapsedTimer &clock;
    const qint64 budget;
};

} // namespace

Result infer(const QByteArray &body, const QString &pageUrl, const Example &example, int budgetMs)
{
    QElapsedTimer clock;
    clock.start();
    const QString text = decodePage(body);
    const Page page(text, clock, budgetMs);
    if (!page.complete) {
        Result result;
        result.problem = QStringLiteral("the page is too large to search within the time allowed");
        return result;
    }
    Result result = Search(page, pageUrl, example, clock, budgetMs).run();
    for (TaskData &task : result.tasks)
        task.note_url = pageUrl;
    return result;
}

QString pageTitle(const QString &page)
{
    // Searched, not matched with a pattern: a hostile page of "<title" without an end would make a pattern quadratic.
    const qsizetype open = page.indexOf(QLatin1String("<title"), 0, Qt::CaseInsensitive);
    const qsizetype start = open < 0 ? -1 : page.indexOf(QLatin1Char('>'), open);
    const qsizetype end = start < 0 ? -1 : page.indexOf(QLatin1String("</title"), start, Qt::CaseInsensitive);
    if (end < 0)
        return QString();
    const QString text = HtmlText::toPlainText(QStringView(page).sliced(start + 1, end - start - 1));
    static const QRegularExpression separator(QStringLiteral("\\s+[-|–—_]\\s+|[|｜_]"));
    return text.left(200).section(separator, 0, 0).trimmed();
}

} // namespace MarkerInference
