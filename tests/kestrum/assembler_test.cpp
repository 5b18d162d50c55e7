// The reply stream assembler: the only code that sees raw controller bytes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "wire.h"

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

ReplyAssembler AcceptAll() {
    return MakeReplyAssembler([](const ReplyHeader&) { return true; });
}

TEST(ReplyAssembler, FrameSplitAtEveryByteBoundary) {
    const std::string text("Lostcount:0.\r\n\0tail", 19);
    const std::string frame = Frame(7, 0, text);
    for (std::size_t a = 0; a <= frame.size(); ++a) {
        for (std::size_t b = a; b <= frame.size(); ++b) {
            ReplyAssembler assembler = AcceptAll();
            Collected got = FeedChunks(
                assembler, {frame.substr(0, a), frame.substr(a, b - a), frame.substr(b)});
            ASSERT_FALSE(got.malformed) << a << "," << b;
            ASSERT_EQ(got.replies.size(), 1u) << a << "," << b;
            EXPECT_EQ(got.replies[0].seq, 7u);
            EXPECT_EQ(got.replies[0].text, text);
        }
    }
}

TEST(ReplyAssembler, SeveralFramesInOneFeedComeOutOneByOne) {
    std::string stream = Frame(1, 0, "3\r\n") + Frame(2, 2001, "Error\r\n") + Frame(3, 0, "") +
                         Frame(4, 0, std::string(kMaxReplyLength, 'x'));
    ReplyAssembler assembler = AcceptAll();
    Collected got = FeedChunks(assembler, {stream});
    ASSERT_FALSE(got.malformed);
    ASSERT_EQ(got.replies.size(), 4u);
    EXPECT_EQ(got.replies[0].text, "3\r\n");
    EXPECT_EQ(got.replies[1].status, 2001);
    EXPECT_EQ(got.replies[2].text, "");
    EXPECT_EQ(got.replies[3].seq, 4u);
    EXPECT_EQ(got.replies[3].text.size(), kMaxReplyLength);
}

TEST(ReplyAssembler, RejectsBadHeadersBeforeTheirPayload) {
    struct Case {
        const char* name;
        std::string header;
    };
    std::string oversize = Frame(1, 0, "").substr(0, kHeaderSize);
    PutU32(reinterpret_cast<unsigned char*>(oversize.data()) + 12, kMaxReplyLength + 1);
    std::string huge = oversize;
    PutU32(reinterpret_cast<unsigned char*>(huge.data()) + 12, 0xFFFFFFFFu);
    std::string magic = Frame(1, 0, "ok").substr(0, kHeaderSize);
    magic[1] = 'Q';
    std::string reserved = Frame(1, 0, "ok").substr(0, kHeaderSize);
    reserved[3] = 1;
    for (const Case& c : {Case{"oversize", oversize}, Case{"huge", huge}, Case{"magic", magic},
                          Case{"reserved", reserved}}) {
        ReplyAssembler assembler = AcceptAll();
        // The header alone must be enough to refuse it: no payload byte is waited for.
        Collected got = FeedChunks(assembler, {c.header});
        EXPECT_TRUE(got.malformed) << c.name;
        EXPECT_EQ(assembler.payload().capacity(), std::string().capacity()) << c.name;
        EXPECT_TRUE(assembler.malformed()) << c.name;
    }
}

TEST(ReplyAssembler, CheckSeesEachHeaderOnceAndCanRefuseIt) {
    std::vector<uint32_t> seen;
    ReplyAssembler assembler = MakeReplyAssembler([&](const ReplyHeader& h) {
        seen.push_back(h.seq);
        return h.seq != 3;
    });
    std::string stream = Frame(1, 0, "a") + Frame(2, 0, "b") + Frame(3, 0, "c") + Frame(4, 0, "d");
    std::vector<std::string> bytes;
    for (char c : stream) bytes.emplace_back(1, c);
    Collected got = FeedChunks(assembler, bytes);
    EXPECT_TRUE(got.malformed);
    EXPECT_EQ(got.replies.size(), 2u);
    EXPECT_EQ(seen, (std::vector<uint32_t>{1, 2, 3}));
    // Once broken, it stays broken: the stream is out of step.
    std::size_t consumed = 99;
    auto state = assembler.Feed(reinterpret_cast<const unsigned char*>(stream.data()),
                                stream.size(), consumed);
    EXPECT_EQ(state, ReplyAssembler::State::kMalformed);
    EXPECT_EQ(consumed, 0u);
}

}  // namespace
}  // namespace kestrum::wire
