#include "controller/search_reply.h"

#include <algorithm>

namespace pelvane {

namespace {
// As the C library's isspace in the "C" locale.
bool IsWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
}  // namespace

// The address list in the window relies on these rules, odd as they are: only blanks
// are skipped before a token, any white space inside the token reader, and the scan moves
// on only up to the next blank or tab. A token after a line break thus goes unseen, and a
// token after a blank and a line break is read twice; every pass counts toward maxTokens.
std::vector<std::string> SearchReplyTokens(const char* reply, std::size_t maxTokens) {
    std::vector<std::string> tokens;
    if (reply == nullptr) return tokens;
    const char* scan = reply;
    for (std::size_t pass = 0; pass < maxTokens; ++pass) {
        while (*scan == ' ') ++scan;
        const char* start = scan;
        while (*start != '\0' && IsWhiteSpace(*start)) ++start;
        const char* end = start;
        while (*end != '\0' && !IsWhiteSpace(*end)) ++end;
        if (end == start) break;
        tokens.emplace_back(start,
                            std::min(static_cast<std::size_t>(end - start), kMaxTokenLength));
        while (*scan != ' ' && *scan != '\t' && *scan != '\0') ++scan;
    }
    return tokens;
}

}  // namespace pelvane
