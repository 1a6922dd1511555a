#include "demoargs.h"

#include "core/appversion.h"

#include <QCommandLineParser>

namespace {

// A whole number from min to max, or -1.
int number(const QString &text, int min, int max)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value >= min && value <= max ? value : -1;
}

} // namespace

DemoArgs DemoArgs::parse(const QStringList &arguments, const QString &xdgDataHome)
{
    DemoArgs result;
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("The demo catalogue's task sites on 127.0.0.1, with new tasks now and then; or, with --follow, "
                       "every demo node followed in a demo user's database."));
    // Not addHelpOption(): its --help-all would list Qt's own options, which are of no use here.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Print this help."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Print the version."));
    parser.addOptions({help, version});
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Serve on this port (default %1).").arg(result.port),
                                  QStringLiteral("PORT"));
    const QCommandLineOption newEvery(
        QStringLiteral("new-every"),
        QStringLiteral("Add tasks every SECONDS (default %1).").arg(result.newEverySeconds), QStringLiteral("SECONDS"));
    const QCommandLineOption follow(
        QStringLiteral("follow"),
        QStringLiteral("Follow every node of CATALOG in the user database, scanning every SECONDS (default %1).")
            .arg(result.scanSeconds),
        QStringLiteral("CATALOG"));
    const QCommandLineOption data(
        QStringLiteral("data"),
        QStringLiteral("With --follow: the data home to write (DIR/Kestrow/udb.dll) instead of $XDG_DATA_HOME."),
        QStringLiteral("DIR"));
    const QCommandLineOption push(
        QStringLiteral("push"),
        QStringLiteral("With --follow: also push every batch to the webhook URL (the demo sites print what comes to "
                       "http://127.0.0.1:PORT/push)."),
        QStringLiteral("URL"));
    parser.addOptions({port, newEvery, follow, data, push});
    parser.addPositionalArgument(QStringLiteral("SECONDS"), QStringLiteral("With --follow: the scan interval."),
                                 QStringLiteral("[SECONDS]"));
    const auto usageError = [&parser, &result](const QString &message) {
        result.mode = Print;
        result.exitCode = 2;
        result.text = QStringLiteral("kestrow-demo-site: %1\n\n%2").arg(message, parser.helpText());
        return result;
    };
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    result.mode = Print;
    if (parser.isSet(help)) {
        result.text = parser.helpText();
        return result;
    }
    if (parser.isSet(version)) {
        result.text = QStringLiteral("kestrow-demo-site %1\n").arg(appVersion());
        return result;
    }
    const QStringList positional = parser.positionalArguments();
    if (!parser.isSet(follow)) {
        if (!positional.isEmpty())
            return usageError(QStringLiteral("unknown argument \"%1\"").arg(positional.join(u' ')));
        if (parser.isSet(data) || parser.isSet(push))
            return usageError(QStringLiteral("--data and --push go with --follow only"));
        const int portNumber = parser.isSet(port) ? number(parser.value(port), 1, 65535) : result.port;
        const int seconds = parser.isSet(newEvery) ? number(parser.value(newEvery), 1, 86400) : result.newEverySeconds;
        if (portNumber < 0)
            return usageError(QStringLiteral("--port takes a number from 1 to 65535"));
        if (seconds < 0)
            return usageError(QStringLiteral("--new-every takes a number of seconds from 1 to 86400"));
        result.mode = Serve;
        result.port = quint16(portNumber);
        result.newEverySeconds = seconds;
        return result;
    }
    if (parser.isSet(port) || parser.isSet(newEvery))
        return usageError(QStringLiteral("--follow serves nothing: --port and --new-every do not go with it"));
    if (positional.size() > 1)
        return usageError(QStringLiteral("--follow takes one scan interval"));
    result.scanSeconds = positional.isEmpty() ? result.scanSeconds : number(positional[0], 1, 86400);
    if (result.scanSeconds < 0)
        return usageError(QStringLiteral("the scan interval is a number of seconds from 1 to 86400"));
    // Following rewrites the user database: never the everyday one unless its place was named on purpose.
    result.dataHome = parser.isSet(data) ? parser.value(data) : xdgDataHome;
    if (result.dataHome.isEmpty())
        return usageError(QStringLiteral("--follow rewrites the followed nodes of a user database; name its data "
                                         "home with XDG_DATA_HOME or --data DIR"));
    result.mode = Follow;
    result.catalog = parser.value(follow);
    result.pushUrl = parser.value(push);
    return result;
}
