// Paints the program's tray icons and the demo catalogue's favicons and logos.
// Usage: QT_QPA_PLATFORM=offscreen kestrow-images app resources/
//        QT_QPA_PLATFORM=offscreen kestrow-images icons OUTPUT_DIR   (the build runs this one)
//        QT_QPA_PLATFORM=offscreen kestrow-images demo examples/demo/images   (needs the WenQuanYi Micro Hei font)
#include "core/appversion.h"

#include <QDir>
#include <QFile>
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

// The program's artwork on a 32-unit grid, bottom layer first: a blue disc with a white falcon's eye; paused, the
// disc is grey with two bars. The tray icons, the desktop icons at every size and the scalable icon are all drawn
// from it.
struct Shape
{
    QPainterPath path;
    QColor color;
};

QList<Shape> artwork(bool paused)
{
    const QColor blue(56, 162, 219);
    QPainterPath disc;
    disc.addEllipse(QRectF(1, 1, 30, 30));
    if (paused) {
        QPainterPath bars;
        bars.addRoundedRect(QRectF(10, 9, 4, 14), 1, 1);
        bars.addRoundedRect(QRectF(18, 9, 4, 14), 1, 1);
        return {{disc, QColor(150, 150, 150)}, {bars, Qt::white}};
    }
    QPainterPath eye;
    eye.moveTo(5, 16);
    eye.quadTo(16, 4, 27, 16);
    eye.quadTo(16, 28, 5, 16);
    QPainterPath iris;
    iris.addEllipse(QRectF(12, 12, 8, 8));
    QPainterPath pupil;
    pupil.addEllipse(QRectF(14.5, 14.5, 3, 3));
    return {{disc, blue}, {eye, Qt::white}, {iris, blue}, {pupil, QColor(20, 40, 60)}};
}

QImage icon(bool paused, int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.scale(size / 32.0, size / 32.0);
    for (const Shape &shape : artwork(paused))
        painter.fillPath(shape.path, shape.color);
    return image;
}

// The same shapes as SVG paths (Qt keeps every curve as cubic Bézier segments).
QByteArray svgIcon()
{
    QByteArray svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"32\" height=\"32\" viewBox=\"0 0 32 32\">\n";
    const auto point = [](qreal x, qreal y) {
        return QByteArray::number(x, 'g', 6) + ' ' + QByteArray::number(y, 'g', 6);
    };
    for (const Shape &shape : artwork(false)) {
        QByteArray d;
        for (int i = 0; i < shape.path.elementCount(); ++i) {
            const QPainterPath::Element e = shape.path.elementAt(i);
            if (e.isMoveTo()) {
                d += " M" + point(e.x, e.y);
            } else if (e.isLineTo()) {
                d += " L" + point(e.x, e.y);
            } else if (e.isCurveTo()) {
                const QPainterPath::Element c2 = shape.path.elementAt(i + 1);
                const QPainterPath::Element end = shape.path.elementAt(i + 2);
                d += " C" + point(e.x, e.y) + ' ' + point(c2.x, c2.y) + ' ' + point(end.x, end.y);
                i += 2;
            }
        }
        svg += "  <path fill=\"" + shape.color.name().toLatin1() + "\" d=\"" + d.trimmed() + " Z\"/>\n";
    }
    return svg + "</svg>\n";
}

bool paintAppIcons(const QDir &out)
{
    return icon(false, 32).save(out.filePath(QStringLiteral("kestrow.png"))) &&
           icon(true, 32).save(out.filePath(QStringLiteral("pause.png")));
}

// The desktop's icons in the layout of the hicolor theme: OUT/hicolor/SIZExSIZE/apps/ID.png and the scalable one.
bool paintDesktopIcons(const QDir &out)
{
    const QString name = appId();
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString folder = QStringLiteral("hicolor/%1x%1/apps").arg(size);
        if (!out.mkpath(folder) || !icon(false, size).save(out.filePath(folder + u'/' + name + QStringLiteral(".png"))))
            return false;
    }
    QFile svg(out.filePath(QStringLiteral("hicolor/scalable/apps/") + name + QStringLiteral(".svg")));
    const QByteArray text = svgIcon();
    return out.mkpath(QStringLiteral("hicolor/scalable/apps")) && svg.open(QIODevice::WriteOnly) &&
           svg.write(text) == text.size();
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QString mode = argc == 3 ? QString::fromLatin1(argv[1]) : QString();
    if (mode != QLatin1String("app") && mode != QLatin1String("demo") && mode != QLatin1String("icons")) {
        std::fprintf(stderr, "usage: kestrow-images app|demo|icons OUTPUT_DIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[2]));
    if (mode != QLatin1String("demo")) {
        if (mode == QLatin1String("app") ? paintAppIcons(out) : paintDesktopIcons(out))
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
