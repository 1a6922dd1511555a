// Decodes fuzzed catalogue fields: strictly valid base64 only, never a read past the input.
#include "sites/catalogcodec.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray value(reinterpret_cast<const char *>(data), qsizetype(size));
    const QByteArray bytes = CatalogCodec::decodeBase64(value);
    // What decodes came in whole groups of four, and decodes to three bytes a group less the padding.
    if (!bytes.isEmpty() && (value.size() % 4 != 0 || bytes.size() > value.size() / 4 * 3))
        std::abort();
    CatalogCodec::decodeText(value);
    return 0;
}
