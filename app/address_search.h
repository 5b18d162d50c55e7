// What the Address box takes from a network search reply.
#pragma once

#include "ui/string_list.h"

namespace pelvane {

// The tokens of reply to add to a list holding entries, in the order of the reply: each
// one that no entry begins with (ignoring case), counting those added before it. At most
// kMaxSearchTokens are examined.
ui::StringList NewAddresses(const ui::StringList& entries, const char* reply);

}  // namespace pelvane
