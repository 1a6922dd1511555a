#include "app/commandline.h"

#include "core/appversion.h"

#include <QCommandLineParser>
#include <QFileInfo>

CommandLine CommandLine::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Kestrow watches the task lists of the sites you follow and "
                                                    "announces new tasks from the notification area."));
    // Not addHelpOption(): its --help-all would list Qt's own options, which this command line does not take.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Print this help."));
    parser.addOption(help);
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Print the version."));
    parser.addOption(version);
    parser.addPositionalArgument(QStringLiteral("show"), QStringLiteral("Open the attention window at start."),
                                 QStringLiteral("[show]"));
    // No application object exists yet (the help needs no display), so Qt cannot name the program itself.
    const QString helpText =
        parser.helpText().replace(QStringLiteral("<executable_name>"), QFileInfo(arguments.value(0)).fileName());
    const auto usageError = [&helpText](const QString &message) {
        return CommandLine{false, false, 2, QStringLiteral("kestrow: %1\n\n%2").arg(message, helpText)};
    };
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(help))
        return {false, false, 0, helpText};
    if (parser.isSet(version))
        return {false, false, 0, QStringLiteral("Kestrow %1\n").arg(appVersion())};
    const QStringList words = parser.positionalArguments();
    if (words.isEmpty())
        return {};
    // Case matters and nothing may follow, so a start script's typo never passes for the word.
    if (words == QStringList{QStringLiteral("show")})
        return {true, true, 0, QString()};
    return usageError(QStringLiteral("unknown argument \"%1\"").arg(words.join(u' ')));
}

QStringList CommandLine::fromMain(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}
