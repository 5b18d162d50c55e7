// A bare link client and a simulator fixture for the simulator's tests. Speaks the
// frames directly so that faults stay visible at the byte level.
#pragma once

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "kestrum/wire/wire.h"
#include "kestrum_sim/simulator.h"

namespace kestrum::sim::testing {

namespace wire = kestrum::wire;

using namespace std::chrono_literals;
using Ms = std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

inline std::string BusFile(const std::string& name) {
    return std::string(KESTRUM_SIM_BUS_DIR) + "/" + name;
}

class Client {
  public:
    Client() = default;
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;
    ~Client() { Close(); }

    bool Connect(const std::string& address, uint16_t port) {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int one = 1;
        setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        inet_pton(AF_INET, address.c_str(), &addr.sin_addr);
        return fd_ >= 0 && connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    }
    void Close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

    bool SendRaw(const std::string& bytes) {
        return send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(bytes.size());
    }
    uint32_t Send(const std::string& command) {
        SendRaw(wire::EncodeRequest({wire::Kind::kBuffered, ++seq_, 1000, command}));
        return seq_;
    }

    // Up to 64 KiB, waiting at most timeout for the first byte; empty at end of stream
    // (closed() then tells) or on time-out.
    std::string ReadSome(Ms timeout) {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(timeout.count())) <= 0) return {};
        std::string buf(65536, '\0');
        auto n = recv(fd_, buf.data(), buf.size(), 0);
        closed_ = n <= 0;
        buf.resize(closed_ ? 0 : static_cast<std::size_t>(n));
        return buf;
    }
    // Everything until the peer closes or nothing more comes within quiet.
    std::string ReadAll(Ms quiet = 300ms) {
        std::string all, part;
        while (!closed_ && !(part = ReadSome(quiet)).empty()) all += part;
        return all;
    }
    bool WaitClosed() {
        ReadAll(2000ms);
        return closed_;
    }
    bool closed() const { return closed_; }

    std::optional<wire::Reply> Receive(Ms timeout = 2000ms) {
        using State = wire::ReplyAssembler::State;
        auto end = Clock::now() + timeout;
        while (true) {
            while (!buffer_.empty()) {
                std::size_t used = 0;
                auto state = assembler_.Feed(reinterpret_cast<const unsigned char*>(buffer_.data()),
                                             buffer_.size(), used);
                buffer_.erase(0, used);
                if (state == State::kMalformed) return std::nullopt;
                if (state == State::kFrame)
                    return wire::Reply{assembler_.header().seq, assembler_.header().status,
                                       assembler_.payload()};
            }
            auto left = std::chrono::duration_cast<Ms>(end - Clock::now());
            if (left <= 0ms || (buffer_ = ReadSome(left)).empty()) return std::nullopt;
        }
    }

    // Sends and waits for the answer; a reply with a wrong seq fails the test.
    wire::Reply Call(const std::string& command) {
        uint32_t seq = Send(command);
        auto reply = Receive();
        if (!reply) {
            ADD_FAILURE() << "no reply to " << command;
            return {seq, -1, {}};
        }
        EXPECT_EQ(reply->seq, seq) << command;
        return *reply;
    }
    // The printed text of a command that must succeed.
    std::string Text(const std::string& command) {
        auto reply = Call(command);
        EXPECT_EQ(reply.status, 0) << command << " -> " << reply.text;
        return reply.text;
    }

  private:
    int fd_ = -1;
    uint32_t seq_ = 0;
    bool closed_ = false;
    std::string buffer_;
    wire::ReplyAssembler assembler_ =
        wire::MakeReplyAssembler([](const wire::ReplyHeader&) { return true; });
};

// A loopback address of its own for each test, so that test programs can run side by
// side in one network namespace; the port is picked by the system.
inline std::string TestAddress() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    uint32_t h = 2166136261u;
    for (char c : name) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
    return "127.0." + std::to_string(40 + h % 8) + "." + std::to_string(1 + (h >> 8) % 254);
}

inline kestrum::sim::Bus LoadBus(const std::string& name) {
    std::string error;
    auto bus = kestrum::sim::LoadBusFile(BusFile(name), &error);
    EXPECT_TRUE(bus) << error;
    return bus ? *bus : kestrum::sim::Bus{};
}

// Polls until the condition holds or the time is up.
inline bool Eventually(const std::function<bool()>& condition, Ms timeout = 2000ms) {
    auto end = Clock::now() + timeout;
    while (!condition()) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// Demo bus: 0 Kestrum drive (status 1237H), 1 Panasonic drive, 2 Delta drive with two
// axes (0250H), 3 digital I/O, 4 analog I/O, 5 vendor 2H, 6 flaky drive, 7 Leadshine.
class SimTest : public ::testing::Test {
  protected:
    void Serve(kestrum::sim::Bus bus, int idleLimitMs = 0, kestrum::sim::Dialect dialect = {}) {
        kestrum::sim::SimulatorOptions options;
        options.address = TestAddress();
        options.port = 0;
        options.discovery = false;
        options.idleLimitMs = idleLimitMs;
        sim_ = std::make_unique<kestrum::sim::Simulator>(std::move(bus), options, dialect);
        std::string error;
        ASSERT_TRUE(sim_->server().Start(&error)) << error;
    }
    void SetUp() override { Serve(LoadBus("demo.json")); }

    std::unique_ptr<Client> Connect() {
        auto client = std::make_unique<Client>();
        EXPECT_TRUE(
            client->Connect(sim_->server().options().address, sim_->server().options().port));
        return client;
    }

    std::unique_ptr<kestrum::sim::Simulator> sim_;
};

}  // namespace kestrum::sim::testing
