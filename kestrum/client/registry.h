// Open links by handle value. Handles are plain numbers, so a stale or forged
// handle is looked up, never dereferenced.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "kestrum.h"
#include "kestrum/client/link.h"

namespace kestrum {

class Registry {
  public:
    static Registry& Instance();

    KST_HANDLE Add(std::shared_ptr<Link> link);
    // Held only for the lookup; the caller's reference keeps the link alive
    // while it works on it, even if another thread closes the handle meanwhile.
    std::shared_ptr<Link> Find(KST_HANDLE handle) const;
    std::shared_ptr<Link> Remove(KST_HANDLE handle);

  private:
    mutable std::mutex mutex_;
    uint64_t lastHandle_ = 0;  // never reused: 2^64 opens do not happen
    std::unordered_map<uint64_t, std::shared_ptr<Link>> links_;
};

}  // namespace kestrum
