// Runs the full-text tokenizer over fuzzed titles: every token lies inside the input, positions count up.
#include "store/cattokenizer.h"

#include <sqlite3.h>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto *input = reinterpret_cast<const char *>(data);
    sqlite3_tokenizer *tokenizer = nullptr;
    sqlite3_tokenizer_cursor *cursor = nullptr;
    if (tokenizerModule.xCreate(0, nullptr, &tokenizer) != SQLITE_OK)
        return 0;
    tokenizerModule.xOpen(tokenizer, input, int(size), &cursor);
    const char *token = nullptr;
    int bytes = 0, start = 0, end = 0, position = 0, expected = 0;
    while (tokenizerModule.xNext(cursor, &token, &bytes, &start, &end, &position) == SQLITE_OK) {
        if (token != input + start || start < 0 || end > int(size) || end - start != bytes || bytes < 1 ||
            position != expected++)
            std::abort();
    }
    tokenizerModule.xClose(cursor);
    tokenizerModule.xDestroy(tokenizer);
    return 0;
}
