#pragma once

#include <QSize>
#include <QString>

// The one-line description of the machine that the install report carries: operating system, processor and memory,
// screen. Every call asks the system afresh, but for the screen, which only the GUI thread may ask: it notes the size.

// The Linux text: the PRETTY_NAME of the os-release text, " (build ", the kernel release, "), " and the bitness.
QString describeLinux(const QByteArray &osRelease, const QString &kernelRelease, bool is64Bit);
// The processor brand with " X" and its core count (empty brand: no processor text), ", " and the memory: in GB with
// two significant digits from 0.996 GiB on, else in whole MB.
QString describeProcessorAndMemory(const QString &brand, int cores, quint64 memoryBytes);

// This machine's texts.
QString describeOperatingSystem();
QString describeProcessorAndMemory();
// The primary screen's size as the GUI thread last noted it (at start and whenever it changes); "0 x 0" before.
void noteScreenSize(const QSize &size);
QString describeScreen();
// "<operating system>; <processor and memory>; <screen>;"
QString describeMachine();
