#pragma once

#include <QString>

// The one-line description of the machine that the install report carries: operating system, processor and memory,
// screen. Every call asks the system afresh.

// What the Windows naming rules read from the system.
struct WindowsVersion
{
    unsigned major = 0;
    unsigned minor = 0;
    unsigned build = 0;
    bool ntFamily = true;
    QString servicePack;     // e.g. "Service Pack 1"; empty when none
    bool workstation = true; // the product type is a workstation
    unsigned suiteMask = 0;
    unsigned architecture = 0; // 0 x86, 6 Itanium, 9 x64
    unsigned productType = 0;  // what GetProductInfo gave; 0 when it could not be asked
    bool serverR2 = false;     // the R2 system metric
};

// The Windows text for version ("Microsoft Windows 7 Ultimate Edition Service Pack 1 (build 7601), 64-bit"); empty
// before NT 5.
QString describeWindows(const WindowsVersion &version);
// The Linux text: the PRETTY_NAME of the os-release text, " (build ", the kernel release, "), " and the bitness.
QString describeLinux(const QByteArray &osRelease, const QString &kernelRelease, bool is64Bit);
// The processor brand with " X" and its core count (empty brand: no processor text), ", " and the memory: in GB with
// two significant digits from 0.996 GiB on, else in whole MB.
QString describeProcessorAndMemory(const QString &brand, int cores, quint64 memoryBytes);

// This machine's texts.
QString describeOperatingSystem();
QString describeProcessorAndMemory();
QString describeScreen();
// "<operating system>; <processor and memory>; <screen>;"
QString describeMachine();
