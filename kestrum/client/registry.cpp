#include "kestrum/client/registry.h"

namespace kestrum {
namespace {

uint64_t Key(KST_HANDLE handle) {
    return reinterpret_cast<uintptr_t>(handle);
}

}  // namespace

Registry& Registry::Instance() {
    // Never destroyed, so calls from threads still running at exit stay safe.
    static Registry* registry = new Registry;
    return *registry;
}

KST_HANDLE Registry::Add(std::shared_ptr<Link> link) {
    std::lock_guard lock(mutex_);
    uint64_t key = ++lastHandle_;
    links_.emplace(key, std::move(link));
    return reinterpret_cast<KST_HANDLE>(static_cast<uintptr_t>(key));
}

std::shared_ptr<Link> Registry::Find(KST_HANDLE handle) const {
    std::lock_guard lock(mutex_);
    auto it = links_.find(Key(handle));
    return it == links_.end() ? nullptr : it->second;
}

std::shared_ptr<Link> Registry::Remove(KST_HANDLE handle) {
    std::lock_guard lock(mutex_);
    auto it = links_.find(Key(handle));
    if (it == links_.end()) return nullptr;
    auto link = std::move(it->second);
    links_.erase(it);
    return link;
}

}  // namespace kestrum
