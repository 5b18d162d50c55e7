#include "ecat/sii_walk.h"

#include <algorithm>
#include <cstdio>
#include <thread>

namespace kestrum::ecat {

namespace {

constexpr uint32_t kIdentityWordCount = 8;

std::string WordText(uint32_t word) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", word);
    return text;
}

}  // namespace

std::optional<IdentityWords> SiiWalk::identity() const {
    if (!Have(kSiiVendorWord, kIdentityWordCount)) return std::nullopt;
    IdentityWords words{};
    std::copy_n(image_.begin() + kSiiVendorWord * 2, words.size(), words.begin());
    return words;
}

bool SiiWalk::Have(uint32_t word, uint32_t count) const {
    if (uint64_t{word} + count > have_.size()) return false;
    return std::all_of(have_.begin() + word, have_.begin() + word + count,
                       [](bool b) { return b; });
}

void SiiWalk::Store(uint32_t word, const std::vector<uint8_t>& data) {
    // Never more than the largest EEPROM the walk takes, whatever a node sends.
    const uint32_t end =
        std::min<uint32_t>(word + static_cast<uint32_t>(data.size() / 2), kSiiMaxWords);
    if (end > have_.size()) {
        have_.resize(end, false);
        image_.resize(std::size_t{end} * 2, 0);
    }
    for (uint32_t w = word; w < end; ++w) {
        image_[w * 2] = data[(w - word) * 2];
        image_[w * 2 + 1] = data[(w - word) * 2 + 1];
        have_[w] = true;
    }
    while (needFrom_ < needTo_ && needFrom_ < have_.size() && have_[needFrom_]) ++needFrom_;
}

SiiWalk::Progress SiiWalk::Fail(SiiFault fault, std::string detail) {
    fault_ = fault;
    detail_ = std::move(detail);
    return Progress::kFailed;
}

SiiWalk::Progress SiiWalk::Walk() {
    if (scope_ == Scope::kIdentity) {
        if (Have(kSiiVendorWord, kIdentityWordCount)) return Progress::kDone;
        needFrom_ = kSiiVendorWord;
        needTo_ = kSiiVendorWord + kIdentityWordCount;
        return Progress::kPending;
    }
    // A missing word ends this walk over what is read; the words it asked for are read
    // next, and the walk is made again.
    const SiiReader read = [this](uint32_t word, uint32_t count, std::vector<uint8_t>& out) {
        for (uint32_t w = word; w < word + count; ++w) {
            if (w < have_.size() && have_[w]) continue;
            needFrom_ = w;
            needTo_ = std::min(word + count, kSiiMaxWords);
            return false;
        }
        out.assign(image_.begin() + word * 2, image_.begin() + (word + count) * 2);
        return true;
    };
    needFrom_ = needTo_ = 0;
    std::string error;
    auto info = ReadSii(read, &error);
    if (needFrom_ < needTo_) return Progress::kPending;
    if (!info) return Fail(SiiFault::kMalformed, error);
    info_ = std::move(*info);
    return Progress::kDone;
}

SiiWalk::Progress SiiWalk::Fetch(Clock::time_point deadline) {
    if (!reading_) {
        port_.Begin(needFrom_);
        reading_ = true;
    }
    std::vector<uint8_t> data;
    SiiFault fault = SiiFault::kNone;
    const Progress progress = port_.Step(&data, &fault, deadline);
    if (progress == Progress::kFailed) return Fail(fault, "word " + WordText(needFrom_));
    if (progress == Progress::kDone) {
        reading_ = false;
        Store(needFrom_, data);
    }
    return Progress::kPending;
}

SiiWalk::Progress SiiWalk::Continue(Clock::time_point deadline) {
    if (!offered_) {
        const auto offered = port_.Offered(deadline);
        // Never taken from the node's processor: asking again later is all we do.
        if (!offered) return Fail(SiiFault::kNotAnswered, "the read of 0500H");
        if (!*offered) return Fail(SiiFault::kHeldByProcessor, "0500H or 0501H bit 0");
        offered_ = true;
    }
    for (;;) {
        if (needFrom_ >= needTo_) {
            const Progress walked = Walk();
            if (walked != Progress::kPending) return walked;
        }
        if (Fetch(deadline) == Progress::kFailed) return Progress::kFailed;
        // A read under way is polled again after a gap, if the time allows one.
        const auto next = Clock::now() + (reading_ ? EepromPort::kPollGap : Clock::duration{});
        if (next >= deadline) return Progress::kPending;
        std::this_thread::sleep_until(next);
    }
}

}  // namespace kestrum::ecat
