#include "report/crc32c.h"

#include <array>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <nmmintrin.h>
#define KESTROW_CRC_INSTRUCTION 1
#endif

namespace Crc32c {

namespace {

constexpr uint32_t polynomial = 0x82F63B78u;

using Tables = std::array<std::array<uint32_t, 256>, 4>;

constexpr Tables makeTables()
{
    Tables t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t crc = i;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ ((crc & 1u) ? polynomial : 0u);
        t[0][i] = crc;
    }
    for (uint32_t i = 0; i < 256; ++i) {
        for (int k = 1; k < 4; ++k)
            t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFFu];
    }
    return t;
}

constexpr Tables tables = makeTables();

#ifdef KESTROW_CRC_INSTRUCTION
bool cpuHasSse42()
{
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    return __get_cpuid(1, &eax, &ebx, &ecx, &edx) && (ecx & (1u << 20));
}
#endif

// Looked up once, when the program starts.
const bool instruction =
#ifdef KESTROW_CRC_INSTRUCTION
    cpuHasSse42();
#else
    false;
#endif

} // namespace

uint32_t withTables(const void *data, size_t size)
{
    const auto *p = static_cast<const unsigned char *>(data);
    uint32_t crc = 0xFFFFFFFFu;
    for (; size >= 4; size -= 4, p += 4) {
        uint32_t word;
        std::memcpy(&word, p, 4);
#if Q_BYTE_ORDER == Q_BIG_ENDIAN
        word = __builtin_bswap32(word);
#endif
        crc ^= word;
        crc = tables[3][crc & 0xFFu] ^ tables[2][(crc >> 8) & 0xFFu] ^ tables[1][(crc >> 16) & 0xFFu] ^
              tables[0][crc >> 24];
    }
    for (; size > 0; --size, ++p)
        crc = (crc >> 8) ^ tables[0][(crc ^ *p) & 0xFFu];
    return ~crc;
}

#ifdef KESTROW_CRC_INSTRUCTION
__attribute__((target("sse4.2"))) uint32_t withInstruction(const void *data, size_t size)
{
    const auto *p = static_cast<const unsigned char *>(data);
#ifdef __x86_64__
    uint64_t crc = 0xFFFFFFFFu;
    for (; size >= 8; size -= 8, p += 8) {
        uint64_t word;
        std::memcpy(&word, p, 8);
        crc = _mm_crc32_u64(crc, word);
    }
    auto crc32 = uint32_t(crc);
#else
    uint32_t crc32 = 0xFFFFFFFFu;
#endif
    for (; size > 0; --size, ++p)
        crc32 = _mm_crc32_u8(crc32, *p);
    return ~crc32;
}
#else
uint32_t withInstruction(const void *data, size_t size)
{
    return withTables(data, size);
}
#endif

bool hasInstruction()
{
    return instruction;
}

uint32_t compute(const void *data, size_t size)
{
    return instruction ? withInstruction(data, size) : withTables(data, size);
}

} // namespace Crc32c
