// The reply stream assembler: the only code that sees raw controller bytes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kestrum/wire/wire.h"

namespace kestrum::wire {
namespace {

std::string Frame(uint32_t seq, int32_t status, std::string text) {
    return EncodeReply(Reply{seq, status, std::move(text)});
}

struct Collected {
    std::vector<Reply> replies;
    bool malformed = false;
};

// Feeds the chunks in order, collecting every frame.
Collected FeedChunks(ReplyAssembler& assembler, const std::vector<std::string>& chunks) {
    Collected out;
    for (const std::string& chunk : chunks) {
        const auto* data = reinterpret_cast<const unsigned char*>(chunk.data());
        std::size_t offset = 0;
        do {
            std::size_t consumed = 0;
            auto state = assembler.Feed(data + offset, chunk.size() - offset, consumed);
            offset += consumed;
            if (state == ReplyAssembler::State::kMalformed) {
                out.malformed = true;
                return out;
            }
            if (state == ReplyAssembler::State::kFrame)
                out.replies.push_back(
                    {assembler.header().seq, assembler.header().status, assembler.payload()});
        } while (offset < chunk.size());
    }
    return out;
}

TEST(ReplyAssembler, FrameSplitAtEveryByteBoundary) {
    const std::string text("Lostcount:0.\r\n\0tail", 19);
    const std::string frame = Frame(7, 0, text);
    for (std::size_t a = 0; a <= frame.size(); ++a) {
        for (std::size_t b = a; b <= frame.size(); ++b) {
            ReplyAssembler assembler = MakeReplyAssembler([](const ReplyHeader&) { return true; });
            Collected got = FeedChunks(
                assembler, {frame.substr(0, a), frame.substr(a, b - a), frame.substr(b)});
            ASSERT_FALSE(got.malformed) << a << "," << b;
            ASSERT_EQ(got.replies.size(), 1u) << a << "," << b;
            EXPECT_EQ(got.replies[0].seq, 7u);
            EXPECT_EQ(got.replies[0].text, text);
        }
    }
}

// Whole or byte by byte, each frame comes out once, and each header is checked once.
TEST(ReplyAssembler, SeveralFramesInOneFeedComeOutOneByOne) {
    const std::string stream = Frame(1, 0, "3\r\n") + Frame(2, 2001, "Error\r\n") +
                               Frame(3, 0, "") + Frame(4, 0, std::string(kMaxReplyLength, 'x'));
    std::vector<std::string> bytes;
    for (char c : stream) bytes.emplace_back(1, c);
    for (const auto& chunks : {std::vector<std::string>{stream}, bytes}) {
        std::vector<uint32_t> seen;
        ReplyAssembler assembler = MakeReplyAssembler([&](const ReplyHeader& h) {
            seen.push_back(h.seq);
            return true;
        });
        Collected got = FeedChunks(assembler, chunks);
        ASSERT_FALSE(got.malformed);
        ASSERT_EQ(got.replies.size(), 4u);
        EXPECT_EQ(got.replies[0].text, "3\r\n");
        EXPECT_EQ(got.replies[1].status, 2001);
        EXPECT_EQ(got.replies[2].text, "");
        EXPECT_EQ(got.replies[3].seq, 4u);
        EXPECT_EQ(got.replies[3].text.size(), kMaxReplyLength);
        EXPECT_EQ(seen, (std::vector<uint32_t>{1, 2, 3, 4}));
    }
}

// The header alone is enough to refuse a frame: no payload is waited for or allocated.
TEST(ReplyAssembler, RejectsBadHeadersBeforeTheirPayload) {
    const std::string header = Frame(3, 0, "ok").substr(0, kHeaderSize);
    // Too long, far too long, wrong magic, reserved byte set, and a well-formed header
    // that the check refuses, as a reply nobody asked for.
    std::string bad[] = {header, header, header, header, header};
    PutU32(reinterpret_cast<unsigned char*>(bad[0].data()) + 12, kMaxReplyLength + 1);
    PutU32(reinterpret_cast<unsigned char*>(bad[1].data()) + 12, 0xFFFFFFFFu);
    bad[2][1] = 'Q';
    bad[3][3] = 1;
    for (int i = 0; i < 5; ++i) {
        ReplyAssembler assembler = MakeReplyAssembler([&](const ReplyHeader&) { return i != 4; });
        EXPECT_TRUE(FeedChunks(assembler, {bad[i]}).malformed) << i;
        EXPECT_EQ(assembler.payload().capacity(), std::string().capacity()) << i;
    }
}

}  // namespace
}  // namespace kestrum::wire
