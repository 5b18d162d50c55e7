// The addresses in a network search reply, as our programs read them.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace pelvane {

// The window examines no more addresses than this per search.
inline constexpr std::size_t kMaxSearchTokens = 20;
inline constexpr std::size_t kMaxTokenLength = 255;

// The addresses in a search reply, at most maxTokens, each cut to kMaxTokenLength.
std::vector<std::string> SearchReplyTokens(const char* reply, std::size_t maxTokens);

}  // namespace pelvane
