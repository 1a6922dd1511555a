// demo-screens: the README's pictures of every window, rendered into PNG files in the language asked for (zh, the
// default, or en): the window that adds a site, on the demo site's list page and on its feed; the attention window on
// the demo catalogue, on a first run without sites and on a desktop without a tray; the history sorted by amount; the
// settings, the alert rules, the push channels, About and the popup. Run it offscreen: QT_QPA_PLATFORM=offscreen
// demo-screens OUTDIR [en]
#include "app/startup.h"
#include "core/clock.h"
#include "demosite.h"
#include "scan/htmltext.h"
#include "sites/catalogfile.h"
#include "store/settings.h"
#include "store/userdb.h"
#include "ui/aboutwindow.h"
#include "ui/addsitewindow.h"
#include "ui/alertwindow.h"
#include "ui/configwindow.h"
#include "ui/historywindow.h"
#include "ui/mainwindow.h"
#include "ui/pushwindow.h"
#include "ui/taskwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

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

// A clock that stands where it is put: the history's tasks found a few minutes apart.
class StandingClock : public Clock::Source
{
public:
    QDateTime when = QDateTime(QDate(2026, 12, 7), QTime(9, 12));
    QDateTime now() const override { return when; }
    Clock::Timing timing() const override { return {}; }
};

// The history as a few hours of watching the demo sites leave it, sorted by amount, largest first.
bool renderHistory(const QString &path)
{
    StandingClock clock;
    const Clock::Source *before = Clock::install(&clock);
    const QStringList rows = {
        u"星火任务网|设计|餐饮品牌 Logo 设计|¥800"_s,     u"星火任务网|开发|微信小程序商城开发|2万元"_s,
        u"鹰眼众包|文案|产品详情页文案 5 篇|300元"_s,     u"鹰眼众包|开发|Python 数据抓取脚本|1500元"_s,
        u"Dawn Jobs|Jobs|Landing page redesign|$1,200"_s, u"星火任务网|设计|公司宣传册排版 (16 页)|面议"_s,
        u"鹰眼众包|设计|App 图标一套|1.5千元"_s};
    UserDb db;
    for (const QString &row : rows) {
        const QStringList field = row.split(u'|');
        clock.when = clock.when.addSecs(23 * 60);
        db.addTasks({{field[0], field[1], field[2], field[3],
                      u"http://127.0.0.1:8731/t/"_s + QString::number(qHash(field[2])), QString(), 0}});
    }
    Clock::install(before);
    HistoryWindow window;
    window.show();
    window.findChild<QTableView *>(QStringLiteral("taskTable"))->sortByColumn(TaskRows::Price, Qt::DescendingOrder);
    QApplication::processEvents();
    return window.grab().save(path);
}

// A window as it first shows.
bool renderWindow(QWidget &&window, const QString &path)
{
    window.show();
    QApplication::processEvents();
    return window.grab().save(path);
}

// The popup with the demo's first tasks, at the second of them.
bool renderPopup(const QString &path)
{
    TaskWindow window{Catalog(QStringLiteral(KESTROW_DEMO_CATALOG))};
    window.pushTasks({{u"鹰眼众包"_s, u"平面设计"_s, u"企业官网开发 & 售后维护"_s, u"¥3000"_s,
                       u"http://127.0.0.1:8731/t/1"_s, QString(), 0},
                      {u"鹰眼众包"_s, u"平面设计"_s, u"餐饮品牌 Logo 设计"_s, QString(), u"http://127.0.0.1:8731/t/2"_s,
                       QString(), 0}});
    return renderWindow(std::move(window), path);
}

// The push channels: a signed DingTalk robot, an ntfy topic and the demo's own webhook.
bool renderPushChannels(const QString &path)
{
    PushChannel dingTalk, ntfy, hook;
    dingTalk.kind = PushChannel::Kind::DingTalk;
    dingTalk.url = u"https://oapi.dingtalk.com/robot/send?access_token=0123456789abcdef"_s;
    dingTalk.secret = u"SEC0123456789abcdef"_s;
    ntfy.kind = PushChannel::Kind::Ntfy;
    ntfy.url = u"https://ntfy.sh"_s;
    ntfy.topic = u"my-kestrow-jobs"_s;
    ntfy.ignoreQuiet = true;
    hook.url = u"http://127.0.0.1:8731/push"_s;
    hook.enabled = false;
    Key::PushChannels.setValue({dingTalk, ntfy, hook});
    return renderWindow(PushWindow(), path);
}

// The attention window over catalog, with "退出" where there is no tray.
bool renderAttention(const QString &catalog, bool withoutTray, const QString &path)
{
    MainWindow window{Catalog(catalog)};
    window.setQuitOffered(withoutTray);
    window.show();
    QApplication::processEvents();
    return window.grab().save(path);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 2 && argc != 3)
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
    // A catalogue without sites, as the package ships it.
    const QString empty = home.filePath(QStringLiteral("empty.dll"));
    QString error;
    loadSettings(QApplication::font().family());
    Key::Language.setValue(argc == 3 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("zh"));
    Startup::loadTranslations();
    const bool ok =
        render(list, HtmlText::decodeEntities(example.captured(1)), example.captured(2), false,
               out + QStringLiteral("/add-site-page.png")) &&
        render(list, QString(), QString(), true, out + QStringLiteral("/add-site-feed.png")) &&
        CatalogFile::write({}, empty, &error) &&
        renderAttention(empty, false, out + QStringLiteral("/first-run-empty.png")) &&
        renderAttention(QStringLiteral(KESTROW_DEMO_CATALOG), true,
                        out + QStringLiteral("/attention-without-tray.png")) &&
        renderHistory(out + QStringLiteral("/history-by-amount.png")) &&
        renderAttention(QStringLiteral(KESTROW_DEMO_CATALOG), false, out + QStringLiteral("/attention.png")) &&
        renderWindow(ConfigWindow(), out + QStringLiteral("/settings.png")) &&
        renderWindow(AlertWindow(), out + QStringLiteral("/alert-settings.png")) &&
        renderWindow(AboutWindow(), out + QStringLiteral("/about.png")) &&
        renderPopup(out + QStringLiteral("/popup.png")) &&
        renderPushChannels(out + QStringLiteral("/push-channels.png"));
    return ok ? 0 : 1;
}
