#include "report/systemdescription.h"

#include <QFile>
#include <QMutex>
#include <QSize>
#include <QSysInfo>

#include <sys/sysinfo.h>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

QString describeLinux(const QByteArray &osRelease, const QString &kernelRelease, bool is64Bit)
{
    QString name = QStringLiteral("Linux");
    for (const QByteArray &line : osRelease.split('\n')) {
        if (!line.startsWith("PRETTY_NAME="))
            continue;
        QByteArray value = line.mid(12).trimmed();
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.mid(1, value.size() - 2);
        if (!value.isEmpty())
            name = QString::fromUtf8(value);
    }
    return QStringLiteral("%1 (build %2), %3")
        .arg(name, kernelRelease, is64Bit ? QStringLiteral("64-bit") : QStringLiteral("32-bit"));
}

QString describeProcessorAndMemory(const QString &brand, int cores, quint64 memoryBytes)
{
    QString text = brand.trimmed();
    if (!text.isEmpty())
        text += QStringLiteral(" X%1, ").arg(cores);
    const double gib = double(memoryBytes) / double(quint64(1) << 30);
    if (gib >= 0.996)
        return text + QString::number(gib, 'g', 2) + QStringLiteral("GB");
    return text + QString::number(memoryBytes >> 20) + QStringLiteral("MB");
}

QString describeOperatingSystem()
{
    QFile osRelease(QStringLiteral("/etc/os-release"));
    if (!osRelease.open(QIODevice::ReadOnly)) {
        osRelease.setFileName(QStringLiteral("/usr/lib/os-release"));
        osRelease.open(QIODevice::ReadOnly);
    }
    return describeLinux(osRelease.readAll(), QSysInfo::kernelVersion(),
                         QSysInfo::WordSize == 64 || QSysInfo::currentCpuArchitecture().contains(QLatin1String("64")));
}

QString describeProcessorAndMemory()
{
    QString brand;
    int cores = 0;
#if defined(__x86_64__) || defined(__i386__)
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(0x80000000u, &eax, &ebx, &ecx, &edx) && eax >= 0x80000004u) {
        QByteArray text;
        for (unsigned leaf = 0x80000002u; leaf <= 0x80000004u; ++leaf) {
            unsigned regs[4] = {};
            __get_cpuid(leaf, &regs[0], &regs[1], &regs[2], &regs[3]);
            const QByteArray part(reinterpret_cast<const char *>(regs), 16);
            text += part.left(part.indexOf('\0') < 0 ? 16 : part.indexOf('\0'));
        }
        brand = QString::fromLatin1(text);
        __cpuid_count(4, 0, eax, ebx, ecx, edx);
        cores = int((eax >> 26) & 0x3F) + 1;
    }
#endif
    struct sysinfo info = {};
    if (sysinfo(&info) != 0)
        return brand.isEmpty() ? QString() : QStringLiteral("%1 X%2").arg(brand.trimmed()).arg(cores);
    return describeProcessorAndMemory(brand, cores, quint64(info.totalram) * info.mem_unit);
}

namespace {

QMutex screenMutex;
QSize screenSize(0, 0);

} // namespace

void noteScreenSize(const QSize &size)
{
    QMutexLocker locker(&screenMutex);
    screenSize = size.isValid() ? size : QSize(0, 0);
}

QString describeScreen()
{
    QMutexLocker locker(&screenMutex);
    return QStringLiteral("%1 x %2").arg(screenSize.width()).arg(screenSize.height());
}

QString describeMachine()
{
    return describeOperatingSystem() + QStringLiteral("; ") + describeProcessorAndMemory() + QStringLiteral("; ") +
           describeScreen() + QLatin1Char(';');
}
