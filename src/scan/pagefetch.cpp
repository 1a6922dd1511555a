#include "scan/pagefetch.h"

#include "core/clock.h"
#include "core/webaddress.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>

PageFetch::PageFetch(QObject *parent) : QObject(parent), m_manager(new QNetworkAccessManager(this))
{
    m_wait.setSingleShot(true);
    connect(&m_wait, &QTimer::timeout, this, [this] {
        m_result.failure = Failure::NoAnswerInTime;
        end();
    });
}

PageFetch::~PageFetch()
{
    delete m_reply;
}

void PageFetch::start(const QString &url)
{
    m_wait.stop();
    delete m_reply;
    m_reply = nullptr;
    m_result = Result();
    if (!isWebAddress(url)) {
        m_result.failure = Failure::NotWebAddress;
        QMetaObject::invokeMethod(this, &PageFetch::finished, Qt::QueuedConnection);
        return;
    }
    m_reply = m_manager->get(PageRequest::make(url));
    PageRequest::limit(m_reply);
    connect(m_reply, &QNetworkReply::readyRead, this, [this] {
        if (PageRequest::tooLarge(m_reply)) {
            m_result.failure = Failure::TooLarge;
            end();
        }
    });
    connect(m_reply, &QNetworkReply::finished, this, [this] {
        m_result.body = m_reply->readAll();
        m_result.contentType = m_reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
        m_result.location = QString::fromUtf8(m_reply->rawHeader("Location"));
        m_result.outcome = PageRequest::outcomeOf(m_reply);
        if (m_reply->error() != QNetworkReply::NoError)
            m_result.networkError = m_reply->errorString();
        end();
    });
    m_wait.start(Clock::timing().passWaitMs);
}

void PageFetch::end()
{
    m_wait.stop();
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
        m_reply = nullptr;
    }
    emit finished();
}

PageFetch::Result PageFetch::fetchNow(const QString &url)
{
    PageFetch fetch;
    QEventLoop loop;
    connect(&fetch, &PageFetch::finished, &loop, &QEventLoop::quit);
    fetch.start(url);
    loop.exec();
    return fetch.result();
}
