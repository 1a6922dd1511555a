#include "core/alertrules.h"

#include <QRegularExpression>

namespace {

constexpr qint64 msPerDay = 24 * 3600 * 1000;

bool holdsAny(const QString &title, const QStringList &words)
{
    for (const QString &word : words) {
        if (title.contains(word, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

} // namespace

bool AlertRules::wants(const TaskData &task) const
{
    if (!require.isEmpty() && !holdsAny(task.task_name, require))
        return false;
    if (holdsAny(task.task_name, exclude))
        return false;
    bool found = false;
    const double price = priceValue(task.task_price, &found);
    return minPrice <= 0 || !found || price >= minPrice;
}

bool AlertRules::isQuiet(const QTime &now) const
{
    return msToQuietEnd(now) > 0;
}

qint64 AlertRules::msToQuietEnd(const QTime &now) const
{
    if (!quietStart.isValid() || !quietEnd.isValid() || quietStart == quietEnd || !now.isValid())
        return 0;
    const qint64 start = quietStart.msecsSinceStartOfDay();
    const qint64 end = quietEnd.msecsSinceStartOfDay();
    const qint64 at = now.msecsSinceStartOfDay();
    const bool quiet = start < end ? at >= start && at < end : at >= start || at < end;
    if (!quiet)
        return 0;
    return (end - at + msPerDay) % msPerDay;
}

QStringList AlertRules::words(const QString &text)
{
    static const QRegularExpression separators(QStringLiteral("[\\s,，;；、]+"));
    return text.split(separators, Qt::SkipEmptyParts);
}

double priceValue(const QString &price, bool *found)
{
    // Digits with thousands separators (a comma, or a space between groups of three) and a fraction, then an
    // optional Chinese multiplier.
    static const QRegularExpression number(QStringLiteral("(\\d{1,3}(?:[, ]\\d{3})+|\\d+)(?:\\.(\\d+))?\\s*([万千])?"));
    const QRegularExpressionMatch match = number.match(price);
    if (found)
        *found = match.hasMatch();
    if (!match.hasMatch())
        return 0;
    QString digits = match.captured(1);
    digits.remove(QLatin1Char(',')).remove(QLatin1Char(' '));
    if (!match.captured(2).isEmpty())
        digits += QLatin1Char('.') + match.captured(2);
    double value = digits.toDouble();
    if (match.captured(3) == QStringLiteral("万"))
        value *= 10000;
    else if (match.captured(3) == QStringLiteral("千"))
        value *= 1000;
    return value;
}
