#include "address_search.h"

#include <string>

#include "gbk_text.h"
#include "search_reply.h"
#include "ui/string_list.h"

namespace pelvane {

QStringList NewAddresses(const QStringList& entries, const char* reply) {
    QStringList list = entries;
    QStringList added;
    for (const std::string& token : SearchReplyTokens(reply, kMaxSearchTokens)) {
        const QString address = FromGbk(token);
        if (ui::FindStringPrefix(list, address) >= 0) continue;
        list.append(address);
        added.append(address);
    }
    return added;
}

}  // namespace pelvane
