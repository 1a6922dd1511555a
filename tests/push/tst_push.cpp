#include "push/pushformat.h"
#include "push/pushsender.h"
#include "store/settings.h"
#include "support/sandbox.h"
#include "support/testhttpserver.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(PushChannel)

namespace {

const QList<TaskData> batch = {
    {u"站"_s, u"设计"_s, u"Logo <b>设计</b>"_s, u"¥500"_s, u"https://t.example/1"_s, QString(), 0},
    {u"站"_s, u"开发"_s, u"App"_s, QString(), u"https://t.example/2"_s, QString(), 0}};
// The text every robot gets for batch: markup in a title stays text.
const QString text =
    u"Kestrow: 2 个新任务\n1. Logo <b>设计</b> (¥500)\nhttps://t.example/1\n2. App\nhttps://t.example/2\n"
    "来自: 站 / 设计, 站 / 开发"_s;

PushChannel channel(PushChannel::Kind kind, const QString &url, const QString &secret = {}, const QString &topic = {})
{
    PushChannel made;
    made.kind = kind, made.url = url, made.secret = secret, made.topic = topic;
    return made;
}

QString json(const QString &compact)
{
    return QString::fromUtf8(QJsonDocument::fromJson(compact.toUtf8()).toJson(QJsonDocument::Compact));
}

// Quick paces, so that merging, retries and drops show within seconds, also under the sanitizers.
const PushSender::Pacing quick{1000, 20, 60000, {50, 50, 50}, 1000, 1024, 600000};

} // namespace

class TestPush : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_sandbox = std::make_unique<Sandbox>(); }
    void cleanup() { m_sandbox.reset(); }

    void requestsEachServiceTakes_data()
    {
        QTest::addColumn<PushChannel>("channel");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QByteArray>("authorization");
        QTest::addColumn<QString>("body");
        // JSON with its quotes, and the tasks' addresses and line breaks put in.
        const auto body = [](const char *json, const QString &message = text) {
            QString filled = QString::fromUtf8(json).replace(u"ADDRESS"_s, u"https:"_s + u"//t.example/"_s);
            if (filled.contains(u"%1"_s))
                filled = filled.arg(QString(message).replace(u'\n', u"\\n"_s));
            return ::json(filled);
        };
        const QString robot = body(R"({"msgtype":"text","text":{"content":"%1"}})");
        QTest::newRow("WeCom") << channel(PushChannel::Kind::WeCom, u"https://qyapi.example/send?key=k"_s)
                               << u"https://qyapi.example/send?key=k"_s << QByteArray() << robot;
        // Signed as the documentation's example code signs "this is secret" at 1577262236757.
        QTest::newRow("DingTalk signed")
            << channel(PushChannel::Kind::DingTalk, u"https://oapi.example/robot/send?access_token=a"_s,
                       u"this is secret"_s)
            << u"https://oapi.example/robot/send?access_token=a&timestamp=1577262236757&sign="
               "hmPWwU%2B7lVdm3ZZz0r9tSfx0L4Q26jWOZr9%2BGs6EZQM%3D"_s
            << QByteArray() << robot;
        QTest::newRow("Feishu signed") << channel(PushChannel::Kind::Feishu, u"https://open.example/hook/h"_s,
                                                  u"this is secret"_s)
                                       << u"https://open.example/hook/h"_s << QByteArray()
                                       << body(R"({"msg_type":"text","content":{"text":"%1"},"timestamp":"1577262236",)"
                                               R"("sign":"RAfCltg8rVdmpPK5kCz1M40hrj/YzGYnkc/3vXwYNts="})",
                                               QString(text).replace(u'<', QChar(0xFF1C)));
        QTest::newRow("ntfy with a token")
            << channel(PushChannel::Kind::Ntfy, u"https://ntfy.example"_s, u"tk"_s, u"jobs"_s)
            << u"https://ntfy.example"_s << QByteArray("Bearer tk")
            << body(R"({"topic":"jobs","title":"Kestrow: 2 个新任务","message":"%1","click":"ADDRESS1"})",
                    text.section(u'\n', 1));
        // The topic named by its own address.
        QTest::newRow("ntfy topic address")
            << channel(PushChannel::Kind::Ntfy, u"https://ntfy.example/jobs"_s) << u"https://ntfy.example/"_s
            << QByteArray()
            << body(R"({"topic":"jobs","title":"Kestrow: 2 个新任务","message":"%1","click":"ADDRESS1"})",
                    text.section(u'\n', 1));
        QTest::newRow("webhook") << channel(PushChannel::Kind::Webhook, u"http://127.0.0.1:9/hook"_s)
                                 << u"http://127.0.0.1:9/hook"_s << QByteArray()
                                 << body(R"({"count":2,"tasks":[{"site":"站","node":"设计","title":"Logo <b>设计</b>",)"
                                         R"("price":"¥500","url":"ADDRESS1"},{"site":"站","node":"开发",)"
                                         R"("title":"App","price":"","url":"ADDRESS2"}]})");
    }

    void requestsEachServiceTakes()
    {
        QFETCH(PushChannel, channel);
        QFETCH(QString, url);
        QFETCH(QByteArray, authorization);
        QFETCH(QString, body);
        const PushRequest request = PushFormat::request(channel, batch, 1577262236757);
        QCOMPARE(request.url.toString(QUrl::FullyEncoded), url);
        QByteArray sent;
        for (const auto &[name, value] : request.headers)
            sent = name == "Authorization" ? value : sent;
        QCOMPARE(sent, authorization);
        QCOMPARE(QString::fromUtf8(request.body), body);
    }

    void bigBatchesStayWithinEachLimit()
    {
        // A thousand tasks, the first with a title of a megabyte: each service's limit, whole characters, the count.
        QList<TaskData> many(1000, batch[1]);
        many[0].task_name = QString(1 << 20, u'任');
        for (const auto &[kind, limit] : {std::pair{PushChannel::Kind::WeCom, 2048},
                                          {PushChannel::Kind::DingTalk, 19000},
                                          {PushChannel::Kind::Feishu, 18000},
                                          {PushChannel::Kind::Ntfy, 4096}}) {
            const QJsonObject body =
                QJsonDocument::fromJson(
                    PushFormat::request(channel(kind, u"https://x.example"_s, {}, u"t"_s), many, 0).body)
                    .object();
            const QString shown = kind == PushChannel::Kind::Ntfy     ? body[u"message"_s].toString()
                                  : kind == PushChannel::Kind::Feishu ? body[u"content"_s][u"text"_s].toString()
                                                                      : body[u"text"_s][u"content"_s].toString();
            QVERIFY2(shown.toUtf8().size() <= limit && !shown.contains(QChar::ReplacementCharacter),
                     qPrintable(shown.left(40)));
            QVERIFY(shown.contains(u"任任任"_s) &&
                    (kind == PushChannel::Kind::Ntfy || shown.startsWith(u"Kestrow: 1000 个新任务"_s)));
        }
        const QJsonObject hook =
            QJsonDocument::fromJson(
                PushFormat::request(channel(PushChannel::Kind::Webhook, u"https://x.example"_s), many, 0).body)
                .object();
        QVERIFY(hook[u"count"_s].toInt() == 1000 && hook[u"tasks"_s].toArray().size() == 100);
        QVERIFY(hook[u"tasks"_s][0][u"title"_s].toString().toUtf8().size() <= 1024);
        // Cut at a character's start: "text, bytes => kept".
        for (const auto &[text, bytes, kept] :
             {std::tuple{u"任务"_s, 4, u"任"_s}, {u"a任"_s, 3, u"a"_s}, {u"ab"_s, 5, u"ab"_s}, {u"😀x"_s, 3, u""_s}})
            QCOMPARE(PushFormat::cutToBytes(text, bytes), kept);
    }

    void answersAndAddresses()
    {
        using K = PushChannel::Kind;
        // "status body => what is wrong (empty: taken)", as each service answers.
        for (const auto &[kind, status, body, refusal] :
             {std::tuple{K::WeCom, 200, R"({"errcode":0,"errmsg":"ok"})", u""_s},
              {K::WeCom, 200, R"({"errcode":93000,"errmsg":"invalid webhook url"})",
               u"errcode 93000: invalid webhook url"_s},
              {K::DingTalk, 200, R"({"errcode":310000,"errmsg":"sign not match"})",
               u"errcode 310000: sign not match"_s},
              {K::DingTalk, 200, "<html>busy</html>", u"回应中没有 errcode"_s},
              {K::Feishu, 200, R"({"code":0,"msg":"success"})", u""_s},
              {K::Feishu, 200, R"({"StatusCode":0,"StatusMessage":"success"})", u""_s},
              {K::Feishu, 200, R"({"code":19021,"msg":"sign match fail"})", u"code 19021: sign match fail"_s},
              {K::Ntfy, 200, R"({"id":"x"})", u""_s},
              {K::Ntfy, 403, R"({"code":40301,"http":403,"error":"forbidden"})", u"HTTP 403: forbidden"_s},
              {K::Webhook, 204, "", u""_s},
              {K::Webhook, 500, "<html>", u"HTTP 500"_s}})
            QCOMPARE(PushFormat::refusal(kind, status, body), refusal);
        for (const auto &[url, allowed] : {std::pair{u"https://h.example/x"_s, true},
                                           {u"http://127.0.0.1:8/x"_s, true},
                                           {u"http://h.example/x"_s, false},
                                           {u"not a url"_s, false},
                                           {u"https://"_s, false},
                                           {u"ftp://h.example/x"_s, false}})
            QCOMPARE(PushFormat::allowedAddress(url), allowed);
    }

    void senderMergesRetriesAndDrops()
    {
        TestHttpServer server;
        TestHttpServer::Response ok;
        server.setResponse(u"/hook"_s, ok);
        Key::PushChannels.setValue({channel(PushChannel::Kind::Webhook, server.url(u"/hook"_s))});
        PushSender sender(quick);
        QSignalSpy problem(&sender, &PushSender::problem);
        // A batch goes at once; the two that come faster than the pace after it go as one.
        sender.send({batch[0]}, PushAudience::All);
        QTRY_COMPARE(server.requests().size(), 1);
        sender.send({batch[1]}, PushAudience::All);
        QTest::qWait(100);
        sender.send({batch[1]}, PushAudience::All);
        QTRY_COMPARE(server.requests().size(), 2);
        QTest::qWait(400);
        QCOMPARE(server.requests().size(), 2);
        QCOMPARE(QJsonDocument::fromJson(server.requests()[1].body)[u"count"_s].toInt(), 2);
        // Each failing answer is tried again three times, then dropped.
        TestHttpServer::Response redirect;
        redirect.status = 302, redirect.headers = {{"Location", "/hook"}};
        TestHttpServer::Response huge; // for a robot, whose answer must be read
        huge.body = QByteArray(10 << 20, '{');
        TestHttpServer::Response silent;
        silent.neverAnswer = true;
        const QList<std::pair<PushChannel::Kind, TestHttpServer::Response>> failures = {
            {PushChannel::Kind::Webhook, redirect},
            {PushChannel::Kind::WeCom, huge},
            {PushChannel::Kind::Webhook, silent}};
        for (const auto &[kind, response] : failures) {
            server.clearRequests();
            server.setResponse(u"/bad"_s, response);
            Key::PushChannels.setValue({channel(kind, server.url(u"/bad"_s))});
            sender.send(batch, PushAudience::All);
            QTRY_COMPARE_WITH_TIMEOUT(server.requests().size(), 4, 30000);
            QTest::qWait(200);
            QCOMPARE(server.requests().size(), 4);
        }
        QVERIFY(problem.isEmpty()); // no channel had three drops
    }

    void senderTellsOfAChannelInTrouble()
    {
        TestHttpServer server;
        TestHttpServer::Response failing;
        failing.status = 500;
        server.setResponse(u"/hook"_s, {});
        server.setResponse(u"/bad"_s, failing);
        const auto asked = [&server](const char *path) { return server.requestsFor(path); };
        // A channel whose messages keep being dropped is told of after the third, though another works all along; an
        // address that may not be used is never asked.
        const PushChannel good = channel(PushChannel::Kind::Webhook, server.url(u"/hook"_s)),
                          bad = channel(PushChannel::Kind::Webhook, server.url(u"/bad"_s)),
                          refused =
                              channel(PushChannel::Kind::Webhook, u"http://localhost:%1/never"_s.arg(server.port()));
        Key::PushChannels.setValue({good, bad, refused});
        PushSender sender(quick);
        QSignalSpy problem(&sender, &PushSender::problem);
        for (int round = 1; round <= 3; ++round) {
            sender.send({batch[0]}, PushAudience::All);
            QTRY_COMPARE_WITH_TIMEOUT(asked("/bad"), 4 * round, 30000);
            QTest::qWait(350);
        }
        QTRY_VERIFY(!problem.isEmpty());
        QVERIFY(problem.last()[0].toString().startsWith(u"推送失败 (webhook)"_s));
        QVERIFY(asked("/hook") == 3 && asked("/never") == 0);
        // Once it works again, and the refused one is removed, nothing is in trouble.
        server.setResponse(u"/bad"_s, {});
        Key::PushChannels.setValue({good, bad});
        sender.send({batch[1]}, PushAudience::All);
        QTRY_COMPARE(problem.last()[0].toString(), QString());
    }

    void senderHonoursRetryAfterAndAudience()
    {
        TestHttpServer server;
        TestHttpServer::Response busy;
        busy.status = 429, busy.headers = {{"Retry-After", "1"}};
        server.setResponse(u"/busy"_s, busy);
        server.setResponse(u"/quiet"_s, {});
        PushChannel keepsQuiet = channel(PushChannel::Kind::Webhook, server.url(u"/quiet"_s));
        PushChannel ignoresQuiet = channel(PushChannel::Kind::Webhook, server.url(u"/busy"_s));
        ignoresQuiet.ignoreQuiet = true;
        PushChannel off = channel(PushChannel::Kind::Webhook, server.url(u"/off"_s));
        off.enabled = false;
        Key::PushChannels.setValue({keepsQuiet, ignoresQuiet, off});
        PushSender sender(quick);
        const auto asked = [&server](const char *path) { return server.requestsFor(path); };
        // During quiet hours only the channel that ignores them; 429 waits its second, not the 50 ms retry.
        sender.send(batch, PushAudience::IgnoringQuiet);
        QTRY_COMPARE(asked("/busy"), 1);
        QTest::qWait(500);
        QCOMPARE(asked("/busy"), 1);
        QTRY_COMPARE_WITH_TIMEOUT(asked("/busy"), 2, 5000);
        QCOMPARE(asked("/quiet"), 0);
        // When they end, the others; a channel switched off never.
        sender.send(batch, PushAudience::RespectingQuiet);
        QTRY_COMPARE(asked("/quiet"), 1);
        QCOMPARE(asked("/off"), 0);
    }

private:
    std::unique_ptr<Sandbox> m_sandbox;
};

QTEST_GUILESS_MAIN(TestPush)
#include "tst_push.moc"
