// The Scanner's identity reads: one SII walk at a time, driven for as long as each
// cycle allows.
#include <cstdio>

#include "ecat/registers.h"
#include "ecat/scan.h"

namespace kestrum::ecat {

namespace {

constexpr size_t kMaxNotes = 16;

}  // namespace

void Scanner::Note(uint16_t position, const std::string& text) {
    if (notes_.size() < kMaxNotes)
        notes_.push_back("node " + std::to_string(position) + ": " + text);
}

std::unique_ptr<SiiWalk> Scanner::NextWalk(Clock::time_point now, bool recheck) {
    for (size_t i = 0; i < known_.size(); ++i) {
        const Known& known = known_[i];
        const auto position = static_cast<uint16_t>(i);
        if (known.verify)
            return std::make_unique<SiiWalk>(master_, position, SiiWalk::Scope::kIdentity);
        if (!known.read && now >= known.nextTry)
            return std::make_unique<SiiWalk>(master_, position, SiiWalk::Scope::kWhole);
    }
    if (!recheck || known_.empty() || now - lastRecheck_ < recheckEvery_) return nullptr;
    lastRecheck_ = now;
    const size_t i = recheck_++ % known_.size();
    // A node read, or one waiting after a walk that failed: new words end the wait.
    if (!known_[i].identity) return nullptr;
    return std::make_unique<SiiWalk>(master_, static_cast<uint16_t>(i), SiiWalk::Scope::kIdentity);
}

void Scanner::FinishWhole(const SiiWalk& walk, SiiWalk::Progress progress) {
    Known& known = known_[walk.position()];
    // The load bits are known once the interface was polled: not for a node that kept
    // its EEPROM or left the ownership read unanswered.
    const bool polled =
        walk.fault() != SiiFault::kHeldByProcessor && walk.fault() != SiiFault::kNotAnswered;
    if (polled) {
        known.checksumError = (walk.lastStatus() & kEepromChecksumError) != 0;
        known.notLoaded = (walk.lastStatus() & kEepromNotLoaded) != 0;
    }
    known.identity = walk.identity();
    if (progress == SiiWalk::Progress::kDone) {
        known.read = true;
        known.fault = SiiFault::kNone;
        known.sii = walk.info();
        known.io = CountIo(known.sii);
        return;
    }
    known.fault = walk.fault();
    const bool malformed = known.fault == SiiFault::kMalformed;
    known.nextTry = Clock::now() + (malformed ? std::chrono::seconds(kMalformedRetryAfter)
                                              : std::chrono::seconds(kRetryAfter));
    Note(walk.position(), std::string(SiiFaultText(known.fault)) + ": " + walk.detail());
}

void Scanner::Finish(const SiiWalk& walk, SiiWalk::Progress progress) {
    if (walk.scope() == SiiWalk::Scope::kWhole) return FinishWhole(walk, progress);
    Known& known = known_[walk.position()];
    const bool verifying = known.verify;
    known.verify = false;
    // A node whose words cannot be read now keeps what was read, unless it was to be
    // confirmed: then it may be another one, and its whole SII is read again.
    if (progress != SiiWalk::Progress::kDone) {
        if (verifying) known = Known::Placed(known.typeBlock, known.alias);
        return;
    }
    if (walk.identity() != known.identity) known = Known::Placed(known.typeBlock, known.alias);
}

void Scanner::ReadIdentities(Clock::time_point deadline) {
    // One node's words in turn a call at most, however much time is left.
    for (bool recheck = true;; recheck = false) {
        if (!walk_) walk_ = NextWalk(Clock::now(), recheck);
        if (!walk_) return;
        const int before = walk_->commands();
        const auto progress = walk_->Continue(deadline);
        eepromCommands_ += static_cast<uint64_t>(walk_->commands() - before);
        if (progress == SiiWalk::Progress::kPending) return;
        Finish(*walk_, progress);
        walk_.reset();
        if (Clock::now() >= deadline) return;
    }
}

void Scanner::Forget() {
    for (Known& known : known_) {
        if (known.read) known.verify = true;
        // A node that failed is asked again at once: it may be another one now.
        known.nextTry = {};
    }
}

}  // namespace kestrum::ecat
