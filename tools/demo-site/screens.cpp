// demo-screens: the window that adds a site, on the demo site's list page and on its feed, rendered into PNG files
// for the README. Run it offscreen: QT_QPA_PLATFORM=offscreen demo-screens OUTDIR
#include "demosite.h"
#include "scan/htmltext.h"
#include "ui/addsitewindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

// Previews url with the example and saves the window as path once the preview is done.
bool render(const QString &url, const QString &title, const QString &price, bool useFeed, const QString &path)
{
    AddSiteWindow window;
    window.findChild<QLineEdit *>(QStringLiteral("urlEdit"))->setText(url);
    window.findChild<QLineEdit *>(QStringLiteral("titleEdit"))->setText(title);
    window.findChild<QLineEdit *>(QStringLiteral("priceEdit"))->setText(price);
    window.show();
    const auto wait = [&window](const char *button) {
        QElapsedTimer clock;
        clock.start();
        while (!window.findChild<QPushButton *>(QLatin1String(button))->isVisibleTo(&window) ||
               !window.findChild<QPushButton *>(QLatin1String(button))->isEnabled()) {
            if (clock.elapsed() > 20000)
                return false;
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        }
        return true;
    };
    window.onPreview();
    if (!wait(useFeed ? "feedButton" : "saveButton"))
        return false;
    if (useFeed) {
        window.onUseFeed();
        QApplication::processEvents();
        if (!wait("saveButton"))
            return false;
    }
    return window.grab().save(path);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 2)
        return 2;
    // Nothing of the user's is read or written.
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral("data"))));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
    DemoSite site;
    // The demo's own port when it is free, so the pictures show the addresses the README names.
    if (!site.listen(8731) && !site.listen(0))
        return 1;
    const QString list = QStringLiteral("http://127.0.0.1:%1/dawn/jobs").arg(site.port());
    // The fourth title of the list and its price, as a browser shows them.
    const QString page = QString::fromUtf8(site.page(QStringLiteral("/dawn/jobs")));
    static const QRegularExpression row(
        QStringLiteral("job-title[^>]*>([^<]*)</a>\\s*(?:<span class=\"budget\">([^<]*))?"));
    auto rows = row.globalMatch(page);
    for (int skip = 0; skip < 3 && rows.hasNext(); ++skip)
        rows.next();
    const QRegularExpressionMatch example = rows.next();
    const QString out = QString::fromLocal8Bit(argv[1]);
    const bool ok = render(list, HtmlText::decodeEntities(example.captured(1)), example.captured(2), false,
                           out + QStringLiteral("/add-site-page.png")) &&
                    render(list, QString(), QString(), true, out + QStringLiteral("/add-site-feed.png"));
    return ok ? 0 : 1;
}
