// What the Address box takes from a network search reply.
#pragma once

#include <QStringList>
#include <string>
#include <vector>

namespace pelvane {

inline constexpr int kMaxSearchTokens = 20;
inline constexpr size_t kMaxTokenLength = 255;

// The addresses in a search reply, at most kMaxSearchTokens, each cut to kMaxTokenLength.
std::vector<std::string> SearchReplyTokens(const char* reply);

// The tokens of reply to add to a list holding entries, in the order of the reply: each
// one that no entry begins with (ignoring case), counting those added before it.
QStringList NewAddresses(const QStringList& entries, const char* reply);

}  // namespace pelvane
