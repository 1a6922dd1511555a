#include "vendorargs.h"

#include "core/appversion.h"

#include <QCommandLineParser>
#include <QDir>

namespace {

struct Command
{
    const char *name;
    int operands;
};
const Command commands[] = {{"serve", 1}, {"keygen", 1}, {"sign", 2}, {"reports", 1}};

const char description[] =
    "The vendor side of Kestrow's exchange.\n\n"
    "  serve DIR      serve DIR's var.txt, aboutmsg.txt and update package under /kestrow/ over HTTP and take\n"
    "                 usage reports, on 127.0.0.1\n"
    "  keygen DIR     make the update signing key DIR/update-key.pem; prints the public key (base64) for\n"
    "                 KESTROW_UPDATE_PUBKEY\n"
    "  sign KEY FILE  write FILE.sig, FILE's signature with the private key KEY\n"
    "  reports DB     print the reports stored in DB";

// A port option's value: a number from 0 to 65535.
bool readPort(const QString &text, quint16 &port)
{
    bool ok = false;
    const uint value = text.toUInt(&ok);
    port = quint16(value);
    return ok && value <= 65535;
}

} // namespace

VendorArgs VendorArgs::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(description));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Print this help."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Print the version."));
    const QCommandLineOption http(QStringLiteral("http-port"), QStringLiteral("HTTP port (0: any free one)."),
                                  QStringLiteral("port"), QStringLiteral("8733"));
    const QCommandLineOption report(QStringLiteral("report-port"), QStringLiteral("Report port (0: any free one)."),
                                    QStringLiteral("port"), QStringLiteral("8734"));
    const QCommandLineOption db(QStringLiteral("db"), QStringLiteral("Report database (default DIR/reports.db)."),
                                QStringLiteral("file"));
    parser.addOptions({help, version, http, report, db});
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("serve, keygen, sign or reports"),
                                 QStringLiteral("command [operands]"));
    VendorArgs result;
    const auto usageError = [&parser, &result](const QString &message) {
        result = VendorArgs();
        result.exitCode = 2;
        result.text = QStringLiteral("kestrow-vendor: %1\n\n%2").arg(message, parser.helpText());
        return result;
    };
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(help)) {
        result.text = parser.helpText();
        return result;
    }
    if (parser.isSet(version)) {
        result.text = QStringLiteral("kestrow-vendor %1\n").arg(appVersion());
        return result;
    }
    result.files = parser.positionalArguments();
    result.command = result.files.isEmpty() ? QString() : result.files.takeFirst();
    if (!readPort(parser.value(http), result.httpPort) || !readPort(parser.value(report), result.reportPort))
        return usageError(QStringLiteral("a port is a number from 0 to 65535"));
    for (const Command &command : commands) {
        if (result.command != QLatin1String(command.name))
            continue;
        if (result.files.size() != command.operands)
            return usageError(QStringLiteral("%1 takes %2 operand(s)").arg(result.command).arg(command.operands));
        if (result.command == QLatin1String("serve"))
            result.db =
                parser.isSet(db) ? parser.value(db) : QDir(result.files[0]).filePath(QStringLiteral("reports.db"));
        return result;
    }
    return usageError(result.command.isEmpty() ? QStringLiteral("no command given")
                                               : QStringLiteral("unknown command \"%1\"").arg(result.command));
}
