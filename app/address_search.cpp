#include "address_search.h"

#include <algorithm>

#include "controller_text.h"
#include "ui/string_list.h"

namespace pelvane {

namespace {
// As the C library's isspace in the "C" locale.
bool IsWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
}  // namespace

// The scan keeps the reading of replies that the address list has always had: only
// blanks are skipped before a token, any white space inside the token reader, and the
// scan moves on only up to the next blank or tab. A token after a line break thus goes
// unseen, and a token after a blank and a line break is read twice; every pass counts.
std::vector<std::string> SearchReplyTokens(const char* reply) {
    std::vector<std::string> tokens;
    if (reply == nullptr) return tokens;
    const char* scan = reply;
    for (int pass = 0; pass < kMaxSearchTokens; ++pass) {
        while (*scan == ' ') ++scan;
        const char* start = scan;
        while (*start != '\0' && IsWhiteSpace(*start)) ++start;
        const char* end = start;
        while (*end != '\0' && !IsWhiteSpace(*end)) ++end;
        if (end == start) break;
        tokens.emplace_back(start, std::min(static_cast<size_t>(end - start), kMaxTokenLength));
        while (*scan != ' ' && *scan != '\t' && *scan != '\0') ++scan;
    }
    return tokens;
}

QStringList NewAddresses(const QStringList& entries, const char* reply) {
    QStringList list = entries;
    QStringList added;
    for (const std::string& token : SearchReplyTokens(reply)) {
        const QString address = DecodeControllerText(token);
        if (ui::FindStringPrefix(list, address) >= 0) continue;
        list.append(address);
        added.append(address);
    }
    return added;
}

}  // namespace pelvane
