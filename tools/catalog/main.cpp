// kestrow-catalog: the site catalogue authors' tool.
#include "sites/catalogfile.h"
#include "sites/usersites.h"
#include "trynode.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace {

const char usage[] = "usage:\n"
                     "  kestrow-catalog build CATALOG.json OUT.dll   write a catalogue from its JSON form\n"
                     "  kestrow-catalog dump IN.dll                  print a catalogue's JSON form\n"
                     "  kestrow-catalog check IN.dll                 list what Kestrow would skip or never find\n"
                     "  kestrow-catalog add SITES.json               check a site file and add it to your own sites\n"
                     "  kestrow-catalog try IN.dll SITE NODE [--page FILE]\n"
                     "                                               cut the node's page (fetched, or FILE) into\n"
                     "                                               tasks, one JSON object a line; says why\n"
                     "                                               nothing was cut; exits 1 if the fetch failed\n";

int complain(const QString &message)
{
    std::fprintf(stderr, "kestrow-catalog: %s\n", qUtf8Printable(message));
    return 2;
}

int build(const QString &jsonPath, const QString &outPath)
{
    QFile file(jsonPath);
    if (!file.open(QIODevice::ReadOnly))
        return complain(QStringLiteral("cannot read %1").arg(jsonPath));
    QList<CatalogSite> sites;
    QString error;
    if (!CatalogFile::parseJson(file.readAll(), QFileInfo(jsonPath).absolutePath(), sites, &error))
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

int tryNode(const QStringList &args)
{
    QString pageFile;
    if (args.size() == 6 && args[4] == QStringLiteral("--page"))
        pageFile = args[5];
    TryNode::Outcome outcome;
    QString error;
    if (!TryNode::run(args[1], args[2], args[3], pageFile, outcome, &error))
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

// Checks a site file as Kestrow will, then copies it among the user's own sites.
int add(const QString &path)
{
    QStringList names;
    QString error;
    if (!UserSites::validate(path, {}, &names, &error))
        return complain(QStringLiteral("%1: %2").arg(path, error));
    const QString target = UserSites::folder() + QLatin1Char('/') + QFileInfo(path).fileName();
    QFile::remove(target + QStringLiteral(".new"));
    if (!QDir().mkpath(UserSites::folder()) || !QFile::copy(path, target + QStringLiteral(".new")) ||
        (QFile::exists(target) && !QFile::remove(target)) || !QFile::rename(target + QStringLiteral(".new"), target))
        return complain(QStringLiteral("cannot write %1").arg(target));
    std::printf("%s: %s; Kestrow reads it at its next start\n", qUtf8Printable(target),
                qUtf8Printable(names.join(u", ")));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const QString command = args.value(0);
    if (command == QStringLiteral("build") && args.size() == 3)
        return build(args[1], args[2]);
    if (command == QStringLiteral("dump") && args.size() == 2)
        return dump(args[1]);
    if (command == QStringLiteral("check") && args.size() == 2)
        return check(args[1]);
    if (command == QStringLiteral("add") && args.size() == 2)
        return add(args[1]);
    if (command == QStringLiteral("try") &&
        (args.size() == 4 || (args.size() == 6 && args[4] == QStringLiteral("--page"))))
        return tryNode(args);
    std::fputs(usage, stderr);
    return 2;
}
