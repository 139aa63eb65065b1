#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "machine_id.h"

TEST(MachineId, DigitsFollowTheFactsInTheirOrder) {
    // Digests taken with md5sum over the concatenated texts and the salt.
    MachineFacts facts;
    EXPECT_EQ(MachineIdDigits(facts), "E26265CC49B3BC0C");

    facts = {"D", "V", "W", "P", "I", "N", "00:11:22:33:44:55", "M"};
    EXPECT_EQ(MachineIdDigits(facts), "35641EA42EFCB330");
    // Only the six registry texts go: what an account saw that could not open the keys.
    EXPECT_EQ(MachineIdDigits(WithoutRegistryFacts(facts)), "AC5863211F1ED2C6");

    const unsigned char address[6] = {0x00, 0x1a, 0xff, 0x09, 0xB0, 0x0c};
    EXPECT_EQ(FormatAdapterAddress(address), "00:1A:FF:09:B0:0C");
}

TEST(MachineId, CapacityDecidesWhetherTheBufferIsTouched) {
    struct Case {
        int capacity;
        bool written;
    } cases[] = {{-1, false}, {0, false}, {31, false}, {32, true}, {40, true}};
    for (const Case& c : cases) {
        char buffer[48];
        std::memset(buffer, 0x5A, sizeof(buffer));
        EXPECT_EQ(WriteMachineId("0123456789ABCDEF", buffer, c.capacity), c.written) << c.capacity;
        if (!c.written) {
            EXPECT_EQ(std::string(buffer, sizeof(buffer)), std::string(sizeof(buffer), 0x5A));
            continue;
        }
        EXPECT_EQ(std::string(buffer, 16), "0123456789ABCDEF");
        // Zeroed up to the capacity, not one byte further.
        EXPECT_EQ(std::string(buffer + 16, c.capacity - 16), std::string(c.capacity - 16, '\0'));
        EXPECT_EQ(buffer[c.capacity], 0x5A) << c.capacity;
    }
    EXPECT_FALSE(WriteMachineId("0123456789ABCDEF", nullptr, 40));
}
