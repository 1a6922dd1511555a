#pragma once

#include "core/nodestatus.h"

#include <QNetworkRequest>
#include <QString>

class QNetworkReply;

// How a task-list page is requested and how much of it is accepted, shared by the scan engine and the
// catalogue authors' tool.
namespace PageRequest {

// A page body larger than this is abandoned as soon as it passes the size.
constexpr qint64 maxPageBytes = 16 * 1024 * 1024;

// A GET for url with the fixed request headers, never following redirections; with the validators of the page's
// last answer it asks, after those headers, for the page only if it changed (a 304 answer then has no body).
QNetworkRequest make(const QString &url, const PageValidators &validators = {});
// What a 2xx answer gave to ask for its page again only if it changed: nothing from other answers, and no value a
// request could not carry back as it came.
PageValidators validatorsOf(const QNetworkReply *reply);
// Keeps the reply from buffering more than one byte past the limit.
void limit(QNetworkReply *reply);
// The reply has already received more than the limit.
bool tooLarge(const QNetworkReply *reply);
// What a finished reply came to, as node health counts it: a failed fetch (an error status, or no answer at all)
// with the reason the user reads, or an answer, whose body is cut whatever else went wrong with it.
struct FetchOutcome
{
    int status = 0; // the HTTP status; 0 without one
    bool failed = false;
    QString reason; // why it failed
};
FetchOutcome outcomeOf(const QNetworkReply *reply);

// When a Retry-After value (delay seconds or an HTTP date) asks to be asked again, in ms since the epoch; -1 when
// it is neither.
qint64 retryAfter(const QByteArray &value, qint64 nowMs);

} // namespace PageRequest
