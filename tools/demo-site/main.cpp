// kestrow-demo-site: the demo catalogue's task sites on 127.0.0.1, or every demo node followed in a demo user's
// database (kestrow-demo-site --help).
#include "demoargs.h"
#include "demosite.h"
#include "sites/catalogfile.h"
#include "store/settings.h"
#include "store/userdb.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace {

int follow(const DemoArgs &args)
{
    QList<CatalogSite> sites;
    QString error;
    if (!CatalogFile::read(args.catalog, sites, &error)) {
        std::fprintf(stderr, "kestrow-demo-site: %s\n", qUtf8Printable(error));
        return 2;
    }
    QList<AttentionPair> pairs;
    for (const CatalogSite &site : sites) {
        for (const CatalogNode &node : site.nodes)
            pairs.append({site.name, node.name});
    }
    // The user database lives under the data home the arguments settled on.
    qputenv("XDG_DATA_HOME", args.dataHome.toLocal8Bit());
    UserDb db;
    // With --push, a webhook channel that receives the demo's batches.
    QList<PushChannel> channels;
    if (!args.pushUrl.isEmpty()) {
        channels.append(PushChannel());
        channels[0].url = args.pushUrl;
    }
    if (!db.setAttention(pairs) ||
        !db.setConfig(QLatin1String(Key::ScanInterval.key),
                      Key::ScanInterval.text(std::chrono::seconds(args.scanSeconds))) ||
        !db.setConfig(QLatin1String(Key::PushChannels.key), Key::PushChannels.text(channels))) {
        std::fprintf(stderr, "kestrow-demo-site: cannot write the user database under %s\n",
                     qUtf8Printable(args.dataHome));
        return 1;
    }
    std::printf("following %lld demo nodes\n", static_cast<long long>(pairs.size()));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const DemoArgs args = DemoArgs::parse(app.arguments(), qEnvironmentVariable("XDG_DATA_HOME"));
    if (args.mode == DemoArgs::Print) {
        std::fputs(qUtf8Printable(args.text), args.exitCode == 0 ? stdout : stderr);
        return args.exitCode;
    }
    if (args.mode == DemoArgs::Follow)
        return follow(args);
    DemoSite site;
    if (!site.listen(args.port)) {
        std::fprintf(stderr, "kestrow-demo-site: cannot listen on 127.0.0.1:%u (is another demo running?)\n",
                     unsigned(args.port));
        return 1;
    }
    // The demo's webhook: each push that comes, as a phone would show it.
    QObject::connect(&site, &DemoSite::pushed, [](const QByteArray &body) {
        const QJsonObject push = QJsonDocument::fromJson(body).object();
        std::printf("push: %d new tasks\n", push.value(QLatin1String("count")).toInt());
        for (const QJsonValue &task : push.value(QLatin1String("tasks")).toArray()) {
            std::printf("  %s / %s: %s (%s)\n    %s\n", qUtf8Printable(task[QLatin1String("site")].toString()),
                        qUtf8Printable(task[QLatin1String("node")].toString()),
                        qUtf8Printable(task[QLatin1String("title")].toString()),
                        qUtf8Printable(task[QLatin1String("price")].toString()),
                        qUtf8Printable(task[QLatin1String("url")].toString()));
        }
        std::fflush(stdout);
    });
    site.startNewTasks(args.newEverySeconds * 1000);
    std::printf("demo task sites on http://127.0.0.1:%u/ (new tasks every %d s)\n", unsigned(site.port()),
                args.newEverySeconds);
    std::fflush(stdout);
    return QCoreApplication::exec();
}
