#pragma once

#include "store/fts3tokenizer.h"

// The full-text tokenizer "CatTokenizer": every UTF-8 character of the input is one token, so that a phrase
// query becomes a substring test and Chinese titles need no word segmentation.
extern const sqlite3_tokenizer_module tokenizerModule;
