#pragma once

#include <QByteArray>

#include <cstddef>
#include <cstdint>

// CRC-32C (Castagnoli: reflected polynomial 0x82F63B78, initial value and final inversion 0xFFFFFFFF), as the report
// frames carry it. crc32c() takes the processor's CRC32 instruction where SSE4.2 is there (looked up once), else
// slicing-by-4 tables; both give the same value.
namespace Crc32c {

uint32_t compute(const void *data, size_t size);
inline uint32_t compute(const QByteArray &bytes)
{
    return compute(bytes.constData(), size_t(bytes.size()));
}

// The two paths, for tests and benchmarks.
uint32_t withTables(const void *data, size_t size);
uint32_t withInstruction(const void *data, size_t size); // only where hasInstruction()
bool hasInstruction();

} // namespace Crc32c
