#pragma once

#include <QString>

// The one-line description of the machine that the install report carries: operating system, processor and memory,
// screen. Every call asks the system afresh.

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
