// kestrow-demo-site: the demo catalogue's task sites on 127.0.0.1.
//   kestrow-demo-site [--port 8731] [--new-every SECONDS]   serve, adding tasks every SECONDS (default 60)
//   kestrow-demo-site --follow CATALOG.dll [SECONDS]       follow every node of the catalogue in the user database
//                                                          of this user (XDG_DATA_HOME), scanning every SECONDS
//                                                          (default 30)
#include "core/settingkeys.h"
#include "demosite.h"
#include "sites/catalogfile.h"
#include "store/userdb.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

int follow(const QString &catalog, const QString &interval)
{
    QList<CatalogSite> sites;
    QString error;
    if (!CatalogFile::read(catalog, sites, &error)) {
        std::fprintf(stderr, "kestrow-demo-site: %s\n", qUtf8Printable(error));
        return 2;
    }
    QList<AttentionPair> pairs;
    for (const CatalogSite &site : sites) {
        for (const CatalogNode &node : site.nodes)
            pairs.append({site.name, node.name});
    }
    UserDb db;
    if (!db.setAttention(pairs) || !db.setConfig(QLatin1String(Key::ScanInterval.name), interval)) {
        std::fprintf(stderr, "kestrow-demo-site: cannot write the user database\n");
        return 1;
    }
    std::printf("following %lld demo nodes\n", static_cast<long long>(pairs.size()));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if ((args.size() == 2 || args.size() == 3) && args[0] == QLatin1String("--follow"))
        return follow(args[1], args.value(2, QStringLiteral("30")));
    quint16 port = 8731;
    int seconds = 60;
    for (int i = 0; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--port"))
            port = quint16(args[i + 1].toUInt());
        else if (args[i] == QLatin1String("--new-every"))
            seconds = qMax(1, args[i + 1].toInt());
    }
    DemoSite site;
    if (!site.listen(port)) {
        std::fprintf(stderr, "kestrow-demo-site: cannot listen on 127.0.0.1:%u\n", unsigned(port));
        return 1;
    }
    site.startNewTasks(seconds * 1000);
    std::printf("demo task sites on http://127.0.0.1:%u/ (new tasks every %d s)\n", unsigned(site.port()), seconds);
    std::fflush(stdout);
    return QCoreApplication::exec();
}
