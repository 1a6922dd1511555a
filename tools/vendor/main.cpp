// kestrow-vendor: the vendor server's side of Kestrow's exchange, small and real.
#include "vendorargs.h"
#include "vendorkeys.h"
#include "vendorserver.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>

namespace {

int complain(const QString &message, int code = 1)
{
    std::fprintf(stderr, "kestrow-vendor: %s\n", qUtf8Printable(message));
    return code;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const VendorArgs args = VendorArgs::parse(app.arguments());
    if (args.command.isEmpty()) {
        std::fputs(qUtf8Printable(args.text), args.exitCode == 0 ? stdout : stderr);
        return args.exitCode;
    }
    const QStringList &files = args.files;
    const QString &command = args.command;
    if (command == QLatin1String("serve")) {
        VendorServer server(files[0], args.db);
        QString error;
        if (!server.listen(args.httpPort, args.reportPort, &error))
            return complain(error);
        std::printf("http 127.0.0.1:%u report 127.0.0.1:%u\n", unsigned(server.httpPort()),
                    unsigned(server.reportPort()));
        std::fflush(stdout);
        return QCoreApplication::exec();
    }
    if (command == QLatin1String("keygen")) {
        QByteArray publicKey;
        QString error;
        if (!QDir().mkpath(files[0]) ||
            !VendorKeys::generate(QDir(files[0]).filePath(QStringLiteral("update-key.pem")), &publicKey, &error))
            return complain(error.isEmpty() ? QStringLiteral("cannot make %1").arg(files[0]) : error);
        std::printf("%s\n", publicKey.toBase64().constData());
        return 0;
    }
    if (command == QLatin1String("sign")) {
        QFile file(files[1]);
        QString error;
        if (!file.open(QIODevice::ReadOnly))
            return complain(QStringLiteral("cannot read %1").arg(files[1]));
        const QByteArray signature = VendorKeys::sign(files[0], file.readAll(), &error);
        QFile out(files[1] + QStringLiteral(".sig"));
        if (signature.isEmpty())
            return complain(error);
        if (!out.open(QIODevice::WriteOnly) || out.write(signature) != signature.size())
            return complain(QStringLiteral("cannot write %1").arg(out.fileName()));
        return 0;
    }
    if (command == QLatin1String("reports")) {
        bool ok = false;
        const QStringList lines = storedReports(files[0], &ok);
        if (!ok)
            return complain(QStringLiteral("%1 is no report database").arg(files[0]));
        for (const QString &line : lines)
            std::printf("%s\n", qUtf8Printable(line));
        return 0;
    }
    return complain(QStringLiteral("unknown command \"%1\"").arg(command), 2);
}
