// What the Address box takes from a network search reply.
#pragma once

#include <QStringList>

namespace pelvane {

// The tokens of reply to add to a list holding entries, in the order of the reply: each
// one that no entry begins with (ignoring case), counting those added before it. At most
// kMaxSearchTokens are examined.
QStringList NewAddresses(const QStringList& entries, const char* reply);

}  // namespace pelvane
