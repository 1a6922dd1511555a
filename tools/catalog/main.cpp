// kestrow-catalog: the site catalogue authors' tool.
#include "catalogargs.h"
#include "core/webaddress.h"
#include "scan/markerinference.h"
#include "scan/pagerequest.h"
#include "scan/pages.h"
#include "sites/catalogfile.h"
#include "sites/usersites.h"
#include "trynode.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <cstdio>

namespace {

// A catalogue's JSON form with every image embedded stays far below this.
constexpr qint64 maxJsonBytes = 64 * 1024 * 1024;

int complain(const QString &message)
{
    std::fprintf(stderr, "kestrow-catalog: %s\n", qUtf8Printable(message));
    return 2;
}

int build(const QString &jsonPath, const QString &outPath)
{
    QByteArray json;
    QList<CatalogSite> sites;
    QString error;
    if (!CatalogFile::readSmallFile(jsonPath, maxJsonBytes, json, &error))
        return complain(error);
    if (!CatalogFile::parseJson(json, QFileInfo(jsonPath).absolutePath(), sites, &error))
        return complain(QStringLiteral("%1: %2; nothing written").arg(jsonPath, error));
    if (!CatalogFile::write(sites, outPath, &error))
        return complain(error);
    return 0;
}

int dump(const QString &path)
{
    QList<CatalogSite> sites;
    QString error;
    if (!CatalogFile::read(path, sites, &error))
        return complain(error);
    const QByteArray json = CatalogFile::toJson(sites);
    std::fwrite(json.constData(), 1, size_t(json.size()), stdout);
    return 0;
}

int check(const QString &path)
{
    QStringList problems;
    QString error;
    if (!CatalogFile::check(path, problems, &error))
        return complain(error);
    for (const QString &problem : problems)
        std::printf("%s\n", qUtf8Printable(problem));
    if (problems.isEmpty())
        std::printf("%s: no problems found\n", qUtf8Printable(path));
    return problems.isEmpty() ? 0 : 1;
}

int tryNode(const QStringList &args, const QString &pageFile)
{
    TryNode::Outcome outcome;
    QString error;
    if (!TryNode::run(args[0], args[1], args[2], pageFile, outcome, &error))
        return complain(error);
    // What the author reads goes to standard error; standard output keeps one task a line.
    for (const QString &line : QStringList{outcome.summary, outcome.note} + outcome.diagnosis) {
        if (!line.isEmpty())
            std::fprintf(stderr, "kestrow-catalog: %s\n", qUtf8Printable(line));
    }
    for (const TaskData &task : std::as_const(outcome.tasks))
        std::printf("%s\n", TryNode::jsonLine(task).constData());
    return outcome.fetchFailed ? 1 : 0;
}

// Finds a list page's markers from one example and prints the site as a site file would hold it.
int infer(const CatalogArgs &args)
{
    const QString &url = args.files[0];
    if (!isWebAddress(url))
        return complain(QStringLiteral("%1 is not an http or https address").arg(url));
    QByteArray body;
    TryNode::Outcome fetched;
    QString error;
    if (!args.page.isEmpty() ? !CatalogFile::readSmallFile(args.page, PageRequest::maxPageBytes, body, &error)
                             : !TryNode::fetch(url, body, fetched, &error))
        return complain(error);
    if (fetched.fetchFailed) {
        std::fprintf(stderr, "kestrow-catalog: %s\n", qUtf8Printable(fetched.note));
        return 1;
    }
    const MarkerInference::Result found = MarkerInference::infer(body, url, {args.files[1], args.price});
    if (!found.found) {
        std::fprintf(stderr, "kestrow-catalog: %s\n", qUtf8Printable(found.problem));
        return 1;
    }
    CatalogSite site;
    site.name = args.site.isEmpty() ? QUrl(url).host() : args.site;
    site.url = siteHome(url);
    QString node = args.node.isEmpty() ? MarkerInference::pageTitle(decodePage(body)) : args.node;
    site.nodes.append(CatalogNode{node.isEmpty() ? QStringLiteral("任务") : node, url, found.markers});
    QStringList titles;
    for (const TaskData &task : found.tasks.mid(0, 3))
        titles << task.task_name;
    std::fprintf(stderr, "kestrow-catalog: the markers cut %d rows: %s%s\n", int(found.tasks.size()),
                 qUtf8Printable(titles.join(QStringLiteral(" | "))), found.tasks.size() > 3 ? " | …" : "");
    for (const QString &line : diagnosePage(decodePage(body), AttentionData{site.name, node, url, found.markers}))
        std::fprintf(stderr, "kestrow-catalog: %s\n", qUtf8Printable(line));
    const QByteArray json = CatalogFile::toJson({site});
    std::fwrite(json.constData(), 1, size_t(json.size()), stdout);
    return 0;
}

// Checks a site file as Kestrow will, then puts it among the user's own sites.
int add(const QString &path)
{
    QStringList names;
    QString error;
    const QString target = UserSites::add(path, &names, &error);
    if (target.isEmpty())
        return complain(QStringLiteral("%1: %2").arg(path, error));
    std::printf("%s: %s; a running Kestrow takes it up within seconds\n", qUtf8Printable(target),
                qUtf8Printable(names.join(u", ")));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const CatalogArgs args = CatalogArgs::parse(app.arguments());
    const QStringList &files = args.files;
    if (args.command == QLatin1String("build"))
        return build(files[0], files[1]);
    if (args.command == QLatin1String("dump"))
        return dump(files[0]);
    if (args.command == QLatin1String("check"))
        return check(files[0]);
    if (args.command == QLatin1String("add"))
        return add(files[0]);
    if (args.command == QLatin1String("try"))
        return tryNode(files, args.page);
    if (args.command == QLatin1String("infer"))
        return infer(args);
    std::fputs(qUtf8Printable(args.text), args.exitCode == 0 ? stdout : stderr);
    return args.exitCode;
}
