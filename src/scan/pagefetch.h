#pragma once

#include "scan/pagerequest.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

class QNetworkAccessManager;
class QNetworkReply;

// One page fetched as the scan engine fetches it (the same request, size cap and wait), for the catalogue tool and
// the window that adds a site.
class PageFetch : public QObject
{
    Q_OBJECT

public:
    // Why no answer came.
    enum class Failure { None, NotWebAddress, TooLarge, NoAnswerInTime };
    struct Result
    {
        Failure failure = Failure::None; // None: a whole answer came, its body in body, whatever its status
        QByteArray body;
        QByteArray contentType;
        QString location; // a redirection's target, which is not followed
        PageRequest::FetchOutcome outcome;
        QString networkError; // what went wrong with an answer that came, if anything
    };

    explicit PageFetch(QObject *parent = nullptr);
    ~PageFetch() override;

    // Starts fetching url, dropping a fetch still under way; finished() follows, at once for an address Kestrow never
    // fetches.
    void start(const QString &url);
    const Result &result() const { return m_result; }

    // Fetches url and waits for the result (for command-line tools).
    static Result fetchNow(const QString &url);

signals:
    void finished();

private:
    void end();

    QNetworkAccessManager *m_manager;
    QNetworkReply *m_reply = nullptr;
    QTimer m_wait;
    Result m_result;
};
