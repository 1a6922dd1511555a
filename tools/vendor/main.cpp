// kestrow-vendor: the vendor server's side of Kestrow's exchange, small and real.
#include "vendorkeys.h"
#include "vendorserver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>

namespace {

const char description[] =
    "The vendor side of Kestrow's exchange.\n\n"
    "  serve DIR      serve DIR's var.txt, aboutmsg.txt and update package under /kestrow/ over HTTP and take\n"
    "                 usage reports, on 127.0.0.1\n"
    "  keygen DIR     make the update signing key DIR/update-key.pem; prints the public key (base64) for\n"
    "                 KESTROW_UPDATE_PUBKEY\n"
    "  sign KEY FILE  write FILE.sig, FILE's signature with the private key KEY\n"
    "  reports DB     print the reports stored in DB";

int complain(const QString &message, int code = 1)
{
    std::fprintf(stderr, "kestrow-vendor: %s\n", qUtf8Printable(message));
    return code;
}

quint16 portOption(const QCommandLineParser &parser, const QString &name, bool *ok)
{
    const uint port = parser.value(name).toUInt(ok);
    *ok = *ok && port <= 65535;
    return quint16(port);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kestrow-vendor"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KESTROW_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(description));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("serve, keygen, sign or reports"));
    parser.addOptions(
        {{QStringLiteral("http-port"), QStringLiteral("HTTP port (0: any free one)."), QStringLiteral("port"),
          QStringLiteral("8733")},
         {QStringLiteral("report-port"), QStringLiteral("Report port (0: any free one)."), QStringLiteral("port"),
          QStringLiteral("8734")},
         {QStringLiteral("db"), QStringLiteral("Report database (default DIR/reports.db)."), QStringLiteral("file")}});
    if (!parser.parse(app.arguments()))
        return complain(parser.errorText() + QStringLiteral("\n") + parser.helpText(), 2);
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    const QStringList args = parser.positionalArguments();
    const QString command = args.value(0);

    if (command == QLatin1String("serve") && args.size() == 2) {
        bool httpOk = false;
        bool reportOk = false;
        const quint16 httpPort = portOption(parser, QStringLiteral("http-port"), &httpOk);
        const quint16 reportPort = portOption(parser, QStringLiteral("report-port"), &reportOk);
        if (!httpOk || !reportOk)
            return complain(QStringLiteral("a port is a number from 0 to 65535"), 2);
        const QString db = parser.isSet(QStringLiteral("db")) ? parser.value(QStringLiteral("db"))
                                                              : QDir(args[1]).filePath(QStringLiteral("reports.db"));
        VendorServer server(args[1], db);
        QString error;
        if (!server.listen(httpPort, reportPort, &error))
            return complain(error);
        std::printf("http 127.0.0.1:%u report 127.0.0.1:%u\n", unsigned(server.httpPort()),
                    unsigned(server.reportPort()));
        std::fflush(stdout);
        return QCoreApplication::exec();
    }
    if (command == QLatin1String("keygen") && args.size() == 2) {
        QByteArray publicKey;
        QString error;
        if (!QDir().mkpath(args[1]) ||
            !VendorKeys::generate(QDir(args[1]).filePath(QStringLiteral("update-key.pem")), &publicKey, &error))
            return complain(error.isEmpty() ? QStringLiteral("cannot make %1").arg(args[1]) : error);
        std::printf("%s\n", publicKey.toBase64().constData());
        return 0;
    }
    if (command == QLatin1String("sign") && args.size() == 3) {
        QFile file(args[2]);
        QString error;
        if (!file.open(QIODevice::ReadOnly))
            return complain(QStringLiteral("cannot read %1").arg(args[2]));
        const QByteArray signature = VendorKeys::sign(args[1], file.readAll(), &error);
        QFile out(args[2] + QStringLiteral(".sig"));
        if (signature.isEmpty())
            return complain(error);
        if (!out.open(QIODevice::WriteOnly) || out.write(signature) != signature.size())
            return complain(QStringLiteral("cannot write %1").arg(out.fileName()));
        return 0;
    }
    if (command == QLatin1String("reports") && args.size() == 2) {
        bool ok = false;
        const QStringList lines = storedReports(args[1], &ok);
        if (!ok)
            return complain(QStringLiteral("%1 is no report database").arg(args[1]));
        for (const QString &line : lines)
            std::printf("%s\n", qUtf8Printable(line));
        return 0;
    }
    return complain(QStringLiteral("unknown command or wrong arguments\n") + parser.helpText(), 2);
}
