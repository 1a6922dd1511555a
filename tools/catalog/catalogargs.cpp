#include "catalogargs.h"

#include "core/appversion.h"

#include <QCommandLineParser>

namespace {

struct Command
{
    const char *name;
    const char *operands;
    const char *what;
};
const Command commands[] = {
    {"build", "CATALOG.json OUT.dll", "write a catalogue from its JSON form"},
    {"dump", "IN.dll", "print a catalogue's JSON form"},
    {"check", "IN.dll", "list what Kestrow would skip or never find (exits 1 when it lists any)"},
    {"add", "SITES.json", "check a site file and add it to your own sites"},
    {"try", "IN.dll SITE NODE [--page FILE]",
     "cut the node's page (fetched, or FILE) into tasks, one JSON object a line;\n"
     "says why nothing was cut; exits 1 if the fetch failed"},
    {"infer", "URL TITLE [--price PRICE] [--page FILE] [--site NAME] [--node NAME]",
     "find the markers of the list page URL (fetched, or FILE) from one task title\n"
     "as the browser shows it (and its price); prints the site's JSON form;\n"
     "exits 1 when no markers cut the example and another row"}};

QString description()
{
    QString text = QStringLiteral("Writes, reads and tries Kestrow's site catalogues.\n");
    for (const Command &command : commands) {
        text += QStringLiteral("\n  %1 %2\n      ").arg(QLatin1String(command.name), QLatin1String(command.operands)) +
                QString::fromLatin1(command.what).replace(u'\n', QStringLiteral("\n      "));
    }
    return text;
}

} // namespace

CatalogArgs CatalogArgs::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(description());
    // Not addHelpOption(): its --help-all would list Qt's own options, which are of no use here.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Print this help."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Print the version."));
    parser.addOptions({help, version});
    const QCommandLineOption page(QStringLiteral("page"), QStringLiteral("try, infer: read the page from FILE."),
                                  QStringLiteral("FILE"));
    const QCommandLineOption price(QStringLiteral("price"), QStringLiteral("infer: the example task's price."),
                                   QStringLiteral("PRICE"));
    const QCommandLineOption site(QStringLiteral("site"), QStringLiteral("infer: the site's name (the host's)."),
                                  QStringLiteral("NAME"));
    const QCommandLineOption node(QStringLiteral("node"), QStringLiteral("infer: the node's name (the page title)."),
                                  QStringLiteral("NAME"));
    parser.addOptions({page, price, site, node});
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("build, dump, check, add, try or infer"),
                                 QStringLiteral("command [operands]"));
    CatalogArgs result;
    const auto usageError = [&parser, &result](const QString &message) {
        result = CatalogArgs();
        result.exitCode = 2;
        result.text = QStringLiteral("kestrow-catalog: %1\n\n%2").arg(message, parser.helpText());
        return result;
    };
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(help)) {
        result.text = parser.helpText();
        return result;
    }
    if (parser.isSet(version)) {
        result.text = QStringLiteral("kestrow-catalog %1\n").arg(appVersion());
        return result;
    }
    result.files = parser.positionalArguments();
    result.command = result.files.isEmpty() ? QString() : result.files.takeFirst();
    result.page = parser.value(page);
    result.price = parser.value(price);
    result.site = parser.value(site);
    result.node = parser.value(node);
    for (const Command &command : commands) {
        if (result.command != QLatin1String(command.name))
            continue;
        const QString operands = QString::fromLatin1(command.operands);
        if (result.files.size() != operands.section(QStringLiteral(" ["), 0, 0).count(u' ') + 1)
            return usageError(QStringLiteral("usage: kestrow-catalog %1 %2").arg(result.command, operands));
        const bool infer = result.command == QLatin1String("infer");
        if (parser.isSet(page) && result.command != QLatin1String("try") && !infer)
            return usageError(QStringLiteral("--page goes with try and infer only"));
        if ((parser.isSet(price) || parser.isSet(site) || parser.isSet(node)) && !infer)
            return usageError(QStringLiteral("--price, --site and --node go with infer only"));
        return result;
    }
    return usageError(result.command.isEmpty() ? QStringLiteral("no command given")
                                               : QStringLiteral("unknown command \"%1\"").arg(result.command));
}
