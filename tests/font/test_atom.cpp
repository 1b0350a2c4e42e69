// The atom table: numbering, look-up without creation, hashing, growth of both arrays.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "font/alloc.h"
#include "font/atom.h"

namespace {
class AtomTest : public ::testing::Test {
protected:
    void SetUp() override { resetAtomTableForTesting(); }
    void TearDown() override {
        failAllocationAt(0);
        resetAtomTableForTesting();
    }
    static Atom intern(const std::string& s, int make = 1) {
        return internAtom(s.data(), static_cast<std::int32_t>(s.size()), make);
    }
};

TEST_F(AtomTest, HashTreatsHighBytesAsNegative) {
    EXPECT_EQ(atomHash("\xFF", 1), 1);
    EXPECT_EQ(atomHash("", 0), 0);
    // ((0x41 << 3) ^ 0x42) = 0x24A
    EXPECT_EQ(atomHash("AB", 2), 0x24A);
    EXPECT_EQ(atomHash("\x80", 1), 128);
}

TEST_F(AtomTest, LookUpBeforeAnythingCreatesNothing) {
    EXPECT_EQ(intern("FONT", 0), 0u);
    EXPECT_EQ(atomTable().capacity, 0);
    EXPECT_EQ(atomTable().slots, nullptr);
}

TEST_F(AtomTest, NumbersInCreationOrderAndFindsAgain) {
    EXPECT_EQ(intern("FAMILY_NAME"), 1u);
    EXPECT_EQ(intern("Fixed"), 2u);
    EXPECT_EQ(intern("FAMILY_NAME"), 1u);
    EXPECT_EQ(atomTable().lastAtom, 2u);
    EXPECT_EQ(intern("Fixed", 0), 2u);
    EXPECT_EQ(intern("Other", 0), 0u);
    EXPECT_STREQ(atomName(1), "FAMILY_NAME");
    EXPECT_EQ(atomName(0), nullptr);
    EXPECT_EQ(atomName(3), nullptr);
}

TEST_F(AtomTest, EmptyStringAndLengthsDiffer) {
    Atom empty = intern("");
    EXPECT_EQ(internAtom(nullptr, 0, 0), empty);  // an empty text may come without a pointer
    EXPECT_NE(empty, 0u);
    EXPECT_EQ(intern(""), empty);
    EXPECT_STREQ(atomName(empty), "");
    Atom two = internAtom("ab", 2, 1);
    Atom three = internAtom("ab\0", 3, 1);
    EXPECT_NE(two, three);
    EXPECT_EQ(internAtom("ab\0", 3, 0), three);
}

TEST_F(AtomTest, SlotTableDoublesAtFiveHundredThirteenAndKeepsEveryAtom) {
    for (int k = 0; k < 512; ++k) intern("name" + std::to_string(k));
    EXPECT_EQ(atomTable().capacity, 1024);
    intern("name512");
    EXPECT_EQ(atomTable().capacity, 2048);
    for (int k = 0; k < 513; ++k) EXPECT_EQ(intern("name" + std::to_string(k), 0), static_cast<Atom>(k + 1)) << k;
}

TEST_F(AtomTest, IndexGrowsAtAtomOneThousand) {
    for (int k = 1; k < 1000; ++k) intern("a" + std::to_string(k));
    EXPECT_EQ(atomTable().byAtomCapacity, 1000u);
    intern("a1000");
    EXPECT_EQ(atomTable().byAtomCapacity, 2000u);
    EXPECT_STREQ(atomName(1000), "a1000");
    // Counting by atomName from 1 stops exactly after the last atom.
    Atom n = 1;
    while (atomName(n)) ++n;
    EXPECT_EQ(n - 1, atomTable().lastAtom);
}

TEST_F(AtomTest, HighBytesInternAndCollideSafely) {
    std::string s;
    for (int b = 0x80; b <= 0xFF; ++b) {
        s.assign(1, static_cast<char>(b));
        EXPECT_NE(intern(s), 0u);
    }
    for (int b = 0x80; b <= 0xFF; ++b) {
        s.assign(1, static_cast<char>(b));
        EXPECT_EQ(intern(s, 0), static_cast<Atom>(b - 0x80 + 1));
    }
}

TEST_F(AtomTest, FailedIndexGrowthLeavesAtomNamelessNotGarbage) {
    for (int k = 1; k < 1000; ++k) intern("b" + std::to_string(k));
    // Atom 1000: the entry allocates, the index growth fails.
    failAllocationAt(2);
    Atom a = intern("b1000");
    failAllocationAt(0);
    EXPECT_EQ(a, 1000u);
    EXPECT_EQ(atomName(1000), nullptr);
    // The next growth succeeds; the atom that lost its entry still reads as missing.
    Atom b = intern("b1001");
    EXPECT_EQ(b, 1001u);
    EXPECT_STREQ(atomName(1001), "b1001");
    EXPECT_EQ(atomName(1000), nullptr);
    EXPECT_EQ(intern("b1000", 0), 1000u);
}

TEST_F(AtomTest, TheHashWithoutAbsoluteValueProbesInsideTheTable) {
    // -2^31 has no absolute value and stays negative; "" (hash 0) holds the slot it starts from,
    // so it must step, in the first table and again when every entry is re-placed on growth.
    const std::string odd = "CAAAAAAAA@@";
    EXPECT_EQ(atomHash(odd.data(), 11), INT32_MIN);
    Atom empty = intern("");
    Atom a = intern(odd);
    EXPECT_EQ(intern(odd, 0), a);
    for (int k = 0; k < 1100; ++k) intern("g" + std::to_string(k));
    EXPECT_EQ(atomTable().capacity, 4096);
    EXPECT_EQ(intern("", 0), empty);
    EXPECT_EQ(intern(odd, 0), a);
    EXPECT_STREQ(atomName(a), odd.c_str());
}

TEST_F(AtomTest, IndexGrowsPastTheAtomAfterARunOfFailures) {
    for (int k = 1; k < 1000; ++k) intern("d" + std::to_string(k));
    // Atoms 1000 to 2100: the entry (and any slot growth) succeeds, the index growth fails.
    for (int k = 1000; k <= 2100; ++k) {
        bool slotsGrow = atomTable().entryCount >= atomTable().capacity / 2;
        failAllocationAt(slotsGrow ? 3 : 2);
        EXPECT_EQ(intern("d" + std::to_string(k)), static_cast<Atom>(k));
    }
    failAllocationAt(0);
    EXPECT_EQ(atomTable().byAtomCapacity, 1000u);
    EXPECT_EQ(intern("d2101"), 2101u);
    EXPECT_GT(atomTable().byAtomCapacity, 2101u);
    EXPECT_STREQ(atomName(2101), "d2101");
    EXPECT_EQ(atomName(2100), nullptr);
    EXPECT_STREQ(atomName(999), "d999");
}

TEST_F(AtomTest, NoMemoryGivesNoAtom) {
    failAllocationAt(1, true);
    EXPECT_EQ(intern("x"), 0u);
    failAllocationAt(0);
    EXPECT_EQ(intern("x"), 1u);
}

TEST_F(AtomTest, FullTableThatCannotGrowStillTerminates) {
    for (int k = 0; k < 512; ++k) intern("c" + std::to_string(k));
    // Every growth fails from here on: entries go into the current table until it is full, then 0.
    int created = 0;
    for (int k = 512; k < 1100; ++k) {
        failAllocationAt(2, true);  // the entry itself succeeds, every later call fails
        if (intern("c" + std::to_string(k)) != 0) ++created;
    }
    failAllocationAt(0);
    EXPECT_EQ(atomTable().capacity, 1024);
    EXPECT_EQ(created, 512);
    EXPECT_EQ(intern("c1099", 0), 0u);
}
}  // namespace
