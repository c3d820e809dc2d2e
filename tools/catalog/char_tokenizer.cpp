#include "tools/catalog/char_tokenizer.h"

#include <cstddef>

namespace quavrel::catalog {
namespace {

// Bytes of the UTF-8 character that starts with `lead`; invalid bytes count as one.
int charLength(unsigned char lead)
{
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    if (lead >= 0xE0)
        return lead <= 0xEF ? 3 : 1;
    if (lead >= 0xC2)
        return 2;
    return 1;
}

int createTokenizer(void*, const char**, int, Fts5Tokenizer** out)
{
    static int instance;   // the tokenizer has no state: any non-null handle serves
    *out = reinterpret_cast<Fts5Tokenizer*>(&instance);
    return SQLITE_OK;
}

void deleteTokenizer(Fts5Tokenizer*) {}

int tokenize(Fts5Tokenizer*, void* context, int, const char* text, int size,
             int (*token)(void*, int, const char*, int, int, int))
{
    for (int pos = 0; pos < size;) {
        const auto lead = static_cast<unsigned char>(text[pos]);
        int length = charLength(lead);
        if (pos + length > size)
            length = size - pos;
        int rc = SQLITE_OK;
        if (lead >= 'A' && lead <= 'Z') {
            const char lower = static_cast<char>(lead - 'A' + 'a');
            rc = token(context, 0, &lower, 1, pos, pos + 1);
        } else {
            rc = token(context, 0, text + pos, length, pos, pos + length);
        }
        if (rc != SQLITE_OK)
            return rc;
        pos += length;
    }
    return SQLITE_OK;
}

fts5_api* fts5Of(sqlite3* db)
{
    fts5_api* api = nullptr;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT fts5(?1)", -1, &stmt, nullptr) != SQLITE_OK)
        return nullptr;
    sqlite3_bind_pointer(stmt, 1, &api, "fts5_api_ptr", nullptr);
    sqlite3_step(stmt);
    sqlite3_finalize(stmt);
    return api;
}

}  // namespace

bool RegisterCharTokenizer(sqlite3* db)
{
    fts5_api* api = fts5Of(db);
    if (!api)
        return false;
    static fts5_tokenizer tokenizer{createTokenizer, deleteTokenizer, tokenize};
    return api->xCreateTokenizer(api, kCharTokenizerName, nullptr, &tokenizer, nullptr) == SQLITE_OK;
}

}  // namespace quavrel::catalog
