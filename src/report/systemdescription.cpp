#include "report/systemdescription.h"

#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QSysInfo>

#include <sys/sysinfo.h>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace {

// GetProductInfo's product types and their edition texts.
QString editionText(unsigned productType)
{
    switch (productType) {
    case 1:
        return QStringLiteral("Ultimate Edition");
    case 2:
        return QStringLiteral("Home Basic Edition");
    case 3:
        return QStringLiteral("Home Premium Edition");
    case 4:
        return QStringLiteral("Enterprise Edition");
    case 6:
        return QStringLiteral("Business Edition");
    case 7:
        return QStringLiteral("Standard Edition");
    case 8:
        return QStringLiteral("Datacenter Edition");
    case 9:
        return QStringLiteral("Small Business Server");
    case 10:
        return QStringLiteral("Enterprise Edition");
    case 11:
        return QStringLiteral("Starter Edition");
    case 12:
        return QStringLiteral("Datacenter Edition (core installation)");
    case 13:
        return QStringLiteral("Standard Edition (core installation)");
    case 14:
        return QStringLiteral("Enterprise Edition (core installation)");
    case 15:
        return QStringLiteral("Enterprise Edition for Itanium-based Systems");
    case 17:
        return QStringLiteral("Web Server Edition");
    case 18:
        return QStringLiteral("Cluster Server Edition");
    case 25:
        return QStringLiteral("Small Business Server Premium Edition");
    case 48:
        return QStringLiteral("Professional");
    default:
        return QString();
    }
}

constexpr unsigned suiteEnterprise = 0x2;
constexpr unsigned suiteComputeServer = 0x4000;
constexpr unsigned suiteDatacenter = 0x80;
constexpr unsigned suitePersonal = 0x200;
constexpr unsigned suiteBlade = 0x400;
constexpr unsigned suiteStorageServer = 0x2000;
constexpr unsigned suiteHomeServer = 0x8000;
constexpr unsigned archX86 = 0;
constexpr unsigned archItanium = 6;
constexpr unsigned archX64 = 9;

QString server2003Edition(const WindowsVersion &v)
{
    const auto has = [&v](unsigned bit) { return (v.suiteMask & bit) != 0; };
    if (v.architecture == archItanium) {
        if (has(suiteDatacenter))
            return QStringLiteral("Datacenter Edition for Itanium-based Systems");
        return has(suiteEnterprise) ? QStringLiteral("Enterprise Edition for Itanium-based Systems") : QString();
    }
    if (v.architecture == archX64) {
        if (has(suiteDatacenter))
            return QStringLiteral("Datacenter x64 Edition");
        return has(suiteEnterprise) ? QStringLiteral("Enterprise x64 Edition") : QStringLiteral("Standard x64 Edition");
    }
    if (has(suiteComputeServer))
        return QStringLiteral("Compute Cluster Edition");
    if (has(suiteDatacenter))
        return QStringLiteral("Datacenter Edition");
    if (has(suiteEnterprise))
        return QStringLiteral("Enterprise Edition");
    return has(suiteBlade) ? QStringLiteral("Web Edition") : QStringLiteral("Standard Edition");
}

} // namespace

QString describeWindows(const WindowsVersion &v)
{
    if (!v.ntFamily || v.major < 5)
        return QString();
    const auto has = [&v](unsigned bit) { return (v.suiteMask & bit) != 0; };
    QString text = QStringLiteral("Microsoft ");
    if (v.major == 6) {
        static const char *const names[][2] = {{"Windows Vista ", "Windows Server 2008 "},
                                               {"Windows 7 ", "Windows Server 2008 R2 "},
                                               {"Windows 8 ", "Windows Server 2012 "}};
        if (v.minor <= 2)
            text += QLatin1String(names[v.minor][v.workstation ? 0 : 1]);
        text += editionText(v.productType);
    } else if (v.major == 5 && v.minor == 2) {
        if (v.serverR2)
            text += QStringLiteral("Windows Server 2003 R2 ");
        else if (has(suiteStorageServer))
            text += QStringLiteral("Windows Storage Server 2003 ");
        else if (has(suiteHomeServer))
            text += QStringLiteral("Windows Home Server ");
        else if (v.workstation && v.architecture == archX64)
            text += QStringLiteral("Windows XP Professional x64 Edition ");
        else
            text += QStringLiteral("Windows Server 2003 ");
        if (!v.workstation)
            text += server2003Edition(v);
    } else if (v.major == 5 && v.minor == 1) {
        text += QStringLiteral("Windows XP ") +
                (has(suitePersonal) ? QStringLiteral("Home Edition") : QStringLiteral("Professional"));
    } else if (v.major == 5 && v.minor == 0) {
        text += QStringLiteral("Windows 2000 ");
        if (v.workstation)
            text += QStringLiteral("Professional");
        else if (has(suiteDatacenter))
            text += QStringLiteral("Datacenter Server");
        else if (has(suiteEnterprise))
            text += QStringLiteral("Advanced Server");
        else
            text += QStringLiteral("Server");
    }
    if (!v.servicePack.isEmpty())
        text += QLatin1Char(' ') + v.servicePack;
    text += QStringLiteral(" (build %1)").arg(v.build);
    if (v.major >= 6) {
        if (v.architecture == archX64)
            text += QStringLiteral(", 64-bit");
        else if (v.architecture == archX86)
            text += QStringLiteral(", 32-bit");
    }
    return text.trimmed();
}

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

QString describeScreen()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QSize size = screen ? screen->size() : QSize(0, 0);
    return QStringLiteral("%1 x %2").arg(size.width()).arg(size.height());
}

QString describeMachine()
{
    return describeOperatingSystem() + QStringLiteral("; ") + describeProcessorAndMemory() + QStringLiteral("; ") +
           describeScreen() + QLatin1Char(';');
}
