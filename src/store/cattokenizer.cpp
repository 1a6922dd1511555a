#include "store/cattokenizer.h"

#include <sqlite3.h>

#include <cstring>
#include <new>

namespace {

struct Cursor
{
    sqlite3_tokenizer_cursor base;
    const unsigned char *start;
    const unsigned char *end;
    const unsigned char *current;
    int position;
};

// Byte length of the UTF-8 character that starts with lead; 0 when lead cannot start one.
int characterLength(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC0 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF7)
        return 4;
    return 0;
}

int create(int, const char *const *, sqlite3_tokenizer **ppTokenizer)
{
    // The tokenizer has no settings: the arguments after its name in a table declaration are ignored.
    auto *tokenizer = new (std::nothrow) sqlite3_tokenizer{};
    if (!tokenizer)
        return SQLITE_NOMEM;
    *ppTokenizer = tokenizer;
    return SQLITE_OK;
}

int destroy(sqlite3_tokenizer *pTokenizer)
{
    delete pTokenizer;
    return SQLITE_OK;
}

int open(sqlite3_tokenizer *, const char *pInput, int nBytes, sqlite3_tokenizer_cursor **ppCursor)
{
    auto *cursor = new (std::nothrow) Cursor{};
    if (!cursor)
        return SQLITE_NOMEM;
    const auto *input = reinterpret_cast<const unsigned char *>(pInput);
    if (!input)
        nBytes = 0;
    else if (nBytes < 0)
        nBytes = int(std::strlen(pInput));
    cursor->start = input;
    cursor->end = input ? input + nBytes : input;
    cursor->current = input;
    cursor->position = 0;
    *ppCursor = &cursor->base;
    return SQLITE_OK;
}

int close(sqlite3_tokenizer_cursor *pCursor)
{
    delete reinterpret_cast<Cursor *>(pCursor);
    return SQLITE_OK;
}

int next(sqlite3_tokenizer_cursor *pCursor, const char **ppToken, int *pnBytes, int *piStartOffset, int *piEndOffset,
         int *piPosition)
{
    auto *cursor = reinterpret_cast<Cursor *>(pCursor);
    *pnBytes = 0;
    if (cursor->current >= cursor->end)
        return SQLITE_DONE;
    const int length = characterLength(*cursor->current);
    // A byte that cannot start a character, or a character cut off by the end of the input, ends the stream:
    // no token may reach past the input.
    if (length == 0 || length > cursor->end - cursor->current)
        return SQLITE_DONE;
    const int offset = int(cursor->current - cursor->start);
    cursor->current += length;
    *ppToken = reinterpret_cast<const char *>(cursor->start + offset);
    *pnBytes = length;
    *piStartOffset = offset;
    *piEndOffset = offset + length;
    *piPosition = cursor->position++;
    return SQLITE_OK;
}

} // namespace

// Constant-initialised, so every connection registers the same, never-changing description.
const sqlite3_tokenizer_module tokenizerModule = {0, create, destroy, open, close, next};
