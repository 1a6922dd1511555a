#pragma once

#include "core/taskdata.h"

#include <QStringList>
#include <QTime>

// Where batches are announced: the corner popup, or the desktop's notification service.
enum class NotifyChannel { Popup, Desktop };

// Which new tasks the user wants to hear of, when and where: word and budget filters, quiet hours, the channel.
struct AlertRules
{
    QStringList require; // a title must hold one of these (none: every title passes)
    QStringList exclude; // a title holding any of these is not announced
    double minPrice = 0; // a task whose price names a smaller number is not announced; 0: no minimum
    QTime quietStart;    // no popup and no sound from here...
    QTime quietEnd;      // ...to here, across midnight when the end comes first; equal or unset: never quiet
    NotifyChannel channel = NotifyChannel::Popup;

    // A task is announced when it passes all three filters; matching ignores case.
    bool wants(const TaskData &task) const;
    bool isQuiet(const QTime &now) const;
    // Milliseconds from now to the end of the quiet time now lies in; 0 when now is not quiet.
    qint64 msToQuietEnd(const QTime &now) const;

    // The words of a filter text: split at white space and commas (Western or Chinese), empty ones dropped.
    static QStringList words(const QString &text);
};

// The first number in a price text: "1,000" and "1 000" are a thousand, "1.5万" fifteen thousand. found is false
// when the text holds no number.
double priceValue(const QString &price, bool *found);
