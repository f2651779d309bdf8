// cMRU: the move-to-front rule, capacity, and its registry layout.
#include <gtest/gtest.h>

#include <functional>

#include "browser/cMRU.h"
#include "errors/Error.h"
#include "registry/RegistryTestFixture.h"
#include "registry/cRegistry.h"

using pwtest::RegistryTest;

namespace {

std::vector<std::string> items(const cMRU& m) {
    std::vector<std::string> out;
    for (std::int32_t i = 1; i <= m.Count(); ++i) out.push_back(m.Item(i));
    return out;
}

int raisedNumber(const std::function<void()>& f) {
    try {
        f();
    } catch (const pw::Error& e) {
        return e.number();
    }
    return 0;
}

class cMRUTest : public RegistryTest {
protected:
    cRegistry at(const std::string& section) {
        cRegistry r;
        r.ClassKey(HKEY_CURRENT_USER);
        r.SectionKey(section);
        return r;
    }
};

}  // namespace

TEST(cMRU, StartsEmptyWithRoomForSixteen) {
    cMRU m;
    EXPECT_EQ(m.MaxCount(), 16);
    EXPECT_EQ(m.Count(), 0);
    EXPECT_EQ(raisedNumber([&] { m.Item(1); }), 9);
}

TEST(cMRU, AddingAnItemAgainMovesItToTheFront) {
    cMRU m;
    m.Add("A");
    m.Add("B");
    m.Add("A");
    EXPECT_EQ(items(m), (std::vector<std::string>{"A", "B"}));
    m.Add("C");
    m.Add("B");
    EXPECT_EQ(items(m), (std::vector<std::string>{"B", "C", "A"}));
    m.Add("B");
    EXPECT_EQ(items(m), (std::vector<std::string>{"B", "C", "A"}));
}

TEST(cMRU, AnEmptyTextIsNeverAdded) {
    cMRU m;
    m.Add("");
    EXPECT_EQ(m.Count(), 0);
    m.Add("A");
    m.Add("");
    EXPECT_EQ(items(m), (std::vector<std::string>{"A"}));
}

TEST(cMRU, DuplicatesAreFoundCaseSensitively) {
    cMRU m;
    m.Add("/data/Archive.zip");
    m.Add("/data/archive.zip");
    m.Add("/data/archive.zip ");
    EXPECT_EQ(m.Count(), 3);
    EXPECT_EQ(m.Item(1), "/data/archive.zip ");
    EXPECT_EQ(m.Item(3), "/data/Archive.zip");
}

TEST(cMRU, AFullListDropsItsOldestItem) {
    cMRU m;
    for (int i = 1; i <= 16; ++i) m.Add("f" + std::to_string(i));
    EXPECT_EQ(m.Count(), 16);
    m.Add("f17");
    EXPECT_EQ(m.Count(), 16);
    EXPECT_EQ(m.Item(1), "f17");
    EXPECT_EQ(m.Item(16), "f2");
    // An item already present moves up without dropping anything.
    m.Add("f2");
    EXPECT_EQ(m.Item(1), "f2");
    EXPECT_EQ(m.Item(16), "f3");
}

TEST(cMRU, LoweringTheCapacityDropsTheOldest) {
    cMRU m;
    for (const char* s : {"a", "b", "c", "d"}) m.Add(s);
    m.MaxCount(2);
    EXPECT_EQ(items(m), (std::vector<std::string>{"d", "c"}));
    m.MaxCount(5);
    EXPECT_EQ(m.Count(), 2);
    m.MaxCount(0);
    EXPECT_EQ(m.Count(), 0);
    m.Add("x");
    EXPECT_EQ(m.Count(), 0);
    EXPECT_EQ(raisedNumber([&] { m.MaxCount(-1); }), 5);
    EXPECT_EQ(m.MaxCount(), 0);
}

TEST(cMRU, ItemOutsideTheListIsOutOfRange) {
    cMRU m;
    m.Add("a");
    EXPECT_EQ(raisedNumber([&] { m.Item(0); }), 9);
    EXPECT_EQ(raisedNumber([&] { m.Item(2); }), 9);
    EXPECT_EQ(raisedNumber([&] { m.Item(-1); }), 9);
}

TEST_F(cMRUTest, SerialiseWritesTheLayout) {
    ::setenv("PW_MRU_DIR", "/srv", 1);
    cMRU m;
    m.Add("/old");
    m.Add("%PW_MRU_DIR%/new");
    auto r = at("SOFTWARE\\brix\\Marlo\\ExtractToMRU");
    m.Serialise(r);
    const std::string key = "SOFTWARE\\brix\\Marlo\\ExtractToMRU";
    auto maxCount = stored(HKEY_CURRENT_USER, key, "MaxCount");
    EXPECT_EQ(maxCount.type, REG_DWORD);
    EXPECT_EQ(maxCount.data, std::string("\x10\0\0\0", 4));
    auto count = stored(HKEY_CURRENT_USER, key, "Count");
    EXPECT_EQ(count.type, REG_SZ);
    EXPECT_EQ(count.data, std::string("2\0", 2));
    EXPECT_EQ(stored(HKEY_CURRENT_USER, key, "Item1").type, REG_EXPAND_SZ);
    EXPECT_EQ(stored(HKEY_CURRENT_USER, key, "Item2").type, REG_SZ);
    EXPECT_EQ(stored(HKEY_CURRENT_USER, key, "Item2").data, std::string("/old\0", 5));

    cMRU back;
    auto r2 = at(key);
    back.DeSerialise(r2);
    EXPECT_EQ(items(back), (std::vector<std::string>{"/srv/new", "/old"}));
}

TEST_F(cMRUTest, SerialisingAShorterListLeavesLaterItemsBehind) {
    cMRU m;
    for (const char* s : {"a", "b", "c"}) m.Add(s);
    auto r = at("L");
    m.Serialise(r);
    cMRU shorter;
    shorter.Add("z");
    shorter.Serialise(r);
    EXPECT_TRUE(stored(HKEY_CURRENT_USER, "L", "Item3").found);
    cMRU back;
    back.DeSerialise(r);
    EXPECT_EQ(items(back), std::vector<std::string>{"z"});
}

TEST_F(cMRUTest, DeSerialiseCutsCountToTheCapacityAndDefaultsAZeroCapacity) {
    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, "M", "MaxCount", REG_DWORD, std::string("\x10\0\0\0", 4)));
    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, "M", "Count", REG_SZ, std::string("20\0", 3)));
    for (int i = 1; i <= 20; ++i)
        ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, "M", "Item" + std::to_string(i), REG_SZ, "i" + std::to_string(i) + '\0'));
    cMRU m;
    auto r = at("M");
    m.DeSerialise(r);
    EXPECT_EQ(m.Count(), 16);
    EXPECT_EQ(m.Item(16), "i16");

    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, "M", "MaxCount", REG_DWORD, std::string("\0\0\0\0", 4)));
    m.DeSerialise(r);
    EXPECT_EQ(m.MaxCount(), 16);
    EXPECT_EQ(m.Count(), 16);
}

TEST_F(cMRUTest, DeSerialiseOfMissingOrOddValuesGivesAValidList) {
    cMRU m;
    m.Add("kept?");
    m.MaxCount(3);
    auto r = at("Nothing\\Here");
    m.DeSerialise(r);
    EXPECT_EQ(m.MaxCount(), 16);
    EXPECT_EQ(m.Count(), 0);

    // A missing item reads as "".
    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, "Gap", "Count", REG_SZ, std::string("3\0", 2)));
    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, "Gap", "Item1", REG_SZ, std::string("one\0", 4)));
    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, "Gap", "Item3", REG_SZ, std::string("three\0", 6)));
    auto gap = at("Gap");
    m.DeSerialise(gap);
    EXPECT_EQ(items(m), (std::vector<std::string>{"one", "", "three"}));

    // A count that is not a number, or negative, loads nothing.
    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, "Gap", "Count", REG_SZ, std::string("lots\0", 5)));
    m.DeSerialise(gap);
    EXPECT_EQ(m.Count(), 0);
    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, "Gap", "Count", REG_DWORD, std::string("\xFF\xFF\xFF\xFF", 4)));
    m.DeSerialise(gap);
    EXPECT_EQ(m.Count(), 0);
    // A stored count as a DWORD reads too.
    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, "Gap", "Count", REG_DWORD, std::string("\x01\0\0\0", 4)));
    m.DeSerialise(gap);
    EXPECT_EQ(items(m), std::vector<std::string>{"one"});
}

TEST_F(cMRUTest, AHugeStoredCapacityIsBounded) {
    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, "Huge", "MaxCount", REG_DWORD, std::string("\xFF\xFF\xFF\x7F", 4)));
    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, "Huge", "Count", REG_SZ, std::string("2147483647\0", 11)));
    cMRU m;
    auto r = at("Huge");
    m.DeSerialise(r);
    EXPECT_EQ(m.MaxCount(), cMRU::kLargestLoadedMaxCount);
    EXPECT_EQ(m.Count(), cMRU::kLargestLoadedMaxCount);
}
