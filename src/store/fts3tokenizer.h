#pragma once

// SQLite's published FTS3/FTS4 tokenizer interface (the structures of fts3_tokenizer.h, which the
// SQLite development package does not install). The layout must match SQLite's exactly.

struct sqlite3_tokenizer_module;
struct sqlite3_tokenizer;
struct sqlite3_tokenizer_cursor;

struct sqlite3_tokenizer_module
{
    int iVersion;
    int (*xCreate)(int argc, const char *const *argv, sqlite3_tokenizer **ppTokenizer);
    int (*xDestroy)(sqlite3_tokenizer *pTokenizer);
    int (*xOpen)(sqlite3_tokenizer *pTokenizer, const char *pInput, int nBytes, sqlite3_tokenizer_cursor **ppCursor);
    int (*xClose)(sqlite3_tokenizer_cursor *pCursor);
    int (*xNext)(sqlite3_tokenizer_cursor *pCursor, const char **ppToken, int *pnBytes, int *piStartOffset,
                 int *piEndOffset, int *piPosition);
};

struct sqlite3_tokenizer
{
    const sqlite3_tokenizer_module *pModule; // filled in by SQLite
};

struct sqlite3_tokenizer_cursor
{
    sqlite3_tokenizer *pTokenizer; // filled in by SQLite
};
