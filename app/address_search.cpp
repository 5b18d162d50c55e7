#include "app/address_search.h"

#include <string>

#include "controller/gbk.h"
#include "controller/search_reply.h"

namespace pelvane {

ui::StringList NewAddresses(const ui::StringList& entries, const char* reply) {
    ui::StringList list = entries;
    ui::StringList added;
    for (const std::string& token : SearchReplyTokens(reply, kMaxSearchTokens)) {
        std::string address = GbkToUtf8(token);
        if (ui::FindStringPrefix(list, address) >= 0) continue;
        list.push_back(address);
        added.push_back(std::move(address));
    }
    return added;
}

}  // namespace pelvane
