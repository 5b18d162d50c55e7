// The bus compared with a reference, position by position.
#include "nodes/bus_changes.h"

#include <gtest/gtest.h>

namespace pelvane {
namespace {

NodeIdentity Node(int32_t vendor, int32_t device, int32_t switchNo) {
    return {vendor, device, switchNo};
}

std::vector<std::string> Changes(const std::vector<NodeIdentity>& before,
                                 const std::vector<NodeIdentity>& after) {
    std::vector<std::string> texts;
    for (const BusChange& change : CompareBuses(before, after))
        texts.push_back(BusChangeText(change));
    return texts;
}

TEST(BusChanges, EachKindOfChangeIsNamedAtItsPosition) {
    const NodeIdentity a = Node(0x41B, 0x30004, 1), b = Node(0x66F, 5, 2), c = Node(0x1DD, 9, 3);
    using Texts = std::vector<std::string>;
    EXPECT_EQ(Changes({a, b, c}, {a, b, c}), Texts{});
    EXPECT_EQ(Changes({a, b}, {a, b, c}), Texts{"Node2 added: 台达(1ddH) device 9H, switch 3"});
    EXPECT_EQ(Changes({a, b, c}, {a, b}), Texts{"Node2 removed: 台达(1ddH) device 9H, switch 3"});
    EXPECT_EQ(Changes({a, b}, {a, Node(0x66F, 6, 2)}),
              Texts{"Node1 replaced: 松下(66fH) device 5H -> 松下(66fH) device 6H"});
    EXPECT_EQ(Changes({a, b}, {a, Node(0x66F, 5, 7)}),
              Texts{"Node1 dial switch 2 -> 7 (松下(66fH) device 5H)"});
    EXPECT_EQ(Changes({a, b, c}, {b, a, c}),
              (Texts{"Node0 moved here from Node1: 松下(66fH) device 5H, switch 2",
                     "Node1 moved here from Node0: Kestrum(41bH) device 30004H, switch 1"}));
    // One node inserted: the ones behind it moved along, the last one past the old end.
    EXPECT_EQ(Changes({a, b}, {c, a, b}),
              (Texts{"Node0 replaced: Kestrum(41bH) device 30004H -> 台达(1ddH) device 9H",
                     "Node1 moved here from Node0: Kestrum(41bH) device 30004H, switch 1",
                     "Node2 moved here from Node1: 松下(66fH) device 5H, switch 2"}));
    // Twins cannot be told apart: the one-of-a-kind node is found again, no twin moves.
    EXPECT_EQ(Changes({a, a, b}, {a, b, a}),
              (Texts{"Node1 moved here from Node2: 松下(66fH) device 5H, switch 2",
                     "Node2 replaced: 松下(66fH) device 5H -> Kestrum(41bH) device 30004H"}));
}

TEST(BusChanges, AnUnreadIdentityIsNotComparedAndIsNoDifference) {
    NodeIdentity unread = Node(0x41B, 1, 0);
    unread.deviceId.reset();
    const auto changes = CompareBuses({Node(0x41B, 2, 0)}, {unread});
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(BusChangeText(changes[0]), "Node0 identity unread, not compared");
    EXPECT_FALSE(BusDiffers(changes));
    EXPECT_TRUE(BusDiffers(CompareBuses({}, {unread})));
}

}  // namespace
}  // namespace pelvane
