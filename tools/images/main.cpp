// Paints the program's tray icons and the demo catalogue's favicons and logos.
// Usage: QT_QPA_PLATFORM=offscreen kestrow-images app resources/
//        QT_QPA_PLATFORM=offscreen kestrow-images demo examples/demo/images   (needs the WenQuanYi Micro Hei font)
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

namespace {

struct DemoSite
{
    const char *id;
    const char *name;
    const char *mark; // one character for the favicon
    QColor color;
};

QFont demoFont(int pixelSize)
{
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPixelSize(pixelSize);
    font.setBold(true);
    return font;
}

QImage favicon(const DemoSite &site)
{
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(site.color);
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(0, 0, 16, 16), 3, 3);
    painter.setPen(Qt::white);
    painter.setFont(demoFont(12));
    painter.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, QString::fromUtf8(site.mark));
    return image;
}

QImage logo(const DemoSite &site)
{
    QImage image(160, 48, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath badge;
    badge.addEllipse(QRectF(4, 6, 36, 36));
    painter.fillPath(badge, site.color);
    painter.setPen(Qt::white);
    painter.setFont(demoFont(22));
    painter.drawText(QRect(4, 6, 36, 36), Qt::AlignCenter, QString::fromUtf8(site.mark));
    painter.setPen(site.color.darker(130));
    painter.setFont(demoFont(20));
    painter.drawText(QRect(48, 0, 112, 48), Qt::AlignVCenter | Qt::AlignLeft, QString::fromUtf8(site.name));
    return image;
}

// The tray icon: a blue disc with a white falcon's eye; paused, the disc is grey with two bars.
QImage trayIcon(bool paused)
{
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(paused ? QColor(150, 150, 150) : QColor(56, 162, 219));
    painter.drawEllipse(QRectF(1, 1, 30, 30));
    painter.setBrush(Qt::white);
    if (paused) {
        painter.drawRoundedRect(QRectF(10, 9, 4, 14), 1, 1);
        painter.drawRoundedRect(QRectF(18, 9, 4, 14), 1, 1);
        return image;
    }
    QPainterPath eye;
    eye.moveTo(5, 16);
    eye.quadTo(16, 4, 27, 16);
    eye.quadTo(16, 28, 5, 16);
    painter.drawPath(eye);
    painter.setBrush(QColor(56, 162, 219));
    painter.drawEllipse(QRectF(12, 12, 8, 8));
    painter.setBrush(QColor(20, 40, 60));
    painter.drawEllipse(QRectF(14.5, 14.5, 3, 3));
    return image;
}

bool paintAppIcons(const QDir &out)
{
    return trayIcon(false).save(out.filePath(QStringLiteral("kestrow.png"))) &&
           trayIcon(true).save(out.filePath(QStringLiteral("pause.png")));
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QString mode = argc == 3 ? QString::fromLatin1(argv[1]) : QString();
    if (mode != QLatin1String("app") && mode != QLatin1String("demo")) {
        std::fprintf(stderr, "usage: kestrow-images app|demo OUTPUT_DIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[2]));
    if (mode == QLatin1String("app")) {
        if (paintAppIcons(out))
            return 0;
        std::fprintf(stderr, "cannot write into %s\n", argv[2]);
        return 1;
    }
    const DemoSite sites[] = {{"eagle", "鹰眼众包", "鹰", QColor(0xd9, 0x4f, 0x2b)},
                              {"hive", "蜂巢威客", "蜂", QColor(0xe0, 0x9b, 0x12)},
                              {"spark", "星火任务网", "星", QColor(0x2b, 0x6c, 0xd9)}};
    for (const DemoSite &site : sites) {
        const QString id = QString::fromLatin1(site.id);
        if (!favicon(site).save(out.filePath(id + QStringLiteral("-favicon.png"))) ||
            !logo(site).save(out.filePath(id + QStringLiteral("-logo.png")))) {
            std::fprintf(stderr, "cannot write into %s\n", argv[2]);
            return 1;
        }
    }
    return 0;
}
