// cRegistry: the read and write rules, error numbers and texts, enumeration,
// the file-type association helpers, damage and two writers at once.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "errors/Error.h"
#include "registry/RegistryTestFixture.h"
#include "registry/cRegistry.h"

using pw::RegBytes;
using pw::RegVariant;
using pwtest::RegistryTest;

namespace {

class cRegistryTest : public RegistryTest {
protected:
    cRegistry reg(HKEY root, const std::string& section, const std::string& name = "", std::int32_t type = REG_SZ) {
        cRegistry r;
        r.ClassKey(root);
        r.SectionKey(section);
        r.ValueKey(name);
        r.ValueType(type);
        return r;
    }

    // The error a call raises; number 0 when it raises nothing.
    template <class F>
    static pw::Error raised(F f) {
        try {
            f();
        } catch (const pw::Error& e) {
            return e;
        }
        return pw::Error(0, "", "");
    }
};

}  // namespace

TEST_F(cRegistryTest, StartsEmpty) {
    cRegistry r;
    EXPECT_EQ(r.ClassKey(), 0);
    EXPECT_EQ(r.SectionKey(), "");
    EXPECT_EQ(r.ValueKey(), "");
    EXPECT_EQ(r.ValueType(), 0);
    EXPECT_TRUE(r.Default().isEmpty());
}

TEST_F(cRegistryTest, TextWithANameBetweenPercentSignsIsStoredExpandableAndReadExpanded) {
    ::setenv("PW_REG_HOME", "/home/pw", 1);
    auto r = reg(HKEY_CURRENT_USER, "S", "path");
    r.Value(RegVariant("%PW_REG_HOME%/docs"));
    EXPECT_EQ(stored(HKEY_CURRENT_USER, "S", "path").type, REG_EXPAND_SZ);
    EXPECT_EQ(stored(HKEY_CURRENT_USER, "S", "path").data, std::string("%PW_REG_HOME%/docs\0", 19));
    r.ValueType(REG_SZ);
    EXPECT_EQ(r.Value(), RegVariant("/home/pw/docs"));
    EXPECT_EQ(r.ValueType(), static_cast<std::int32_t>(REG_EXPAND_SZ));

    // One character between the signs is enough, even for an unknown name.
    r.ValueType(REG_SZ);
    r.Value(RegVariant("a%b%"));
    EXPECT_EQ(stored(HKEY_CURRENT_USER, "S", "path").type, REG_EXPAND_SZ);
    EXPECT_EQ(r.Value(), RegVariant("a%b%"));
}

TEST_F(cRegistryTest, TextWithOneOrTwoAdjacentPercentSignsStaysPlainWhicheverTypeWasAsked) {
    auto r = reg(HKEY_CURRENT_USER, "S", "v", REG_EXPAND_SZ);
    for (const char* text : {"100%", "50%% off", "%%", "plain"}) {
        r.ValueType(REG_EXPAND_SZ);
        r.Value(RegVariant(text));
        EXPECT_EQ(stored(HKEY_CURRENT_USER, "S", "v").type, REG_SZ) << text;
        EXPECT_EQ(r.Value(), RegVariant(text));
    }
}

TEST_F(cRegistryTest, NonTextValuesAreWrittenAsTheirTextForm) {
    auto r = reg(HKEY_CURRENT_USER, "S", "n");
    r.Value(RegVariant(std::int32_t(42)));
    EXPECT_EQ(stored(HKEY_CURRENT_USER, "S", "n").data, std::string("42\0", 3));
    r.ValueType(REG_SZ);
    r.Value(RegVariant(true));
    EXPECT_EQ(r.Value(), RegVariant("True"));
}

TEST_F(cRegistryTest, DwordsReadLittleAndBigEndian) {
    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, "S", "le", REG_DWORD, std::string("\x04\x03\x02\x01", 4)));
    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, "S", "be", REG_DWORD_BIG_ENDIAN, std::string("\x01\x02\x03\x04", 4)));
    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, "S", "neg", REG_DWORD_BIG_ENDIAN, std::string("\xFF\xFF\xFF\xFE", 4)));
    auto r = reg(HKEY_CURRENT_USER, "S", "le", REG_SZ);
    EXPECT_EQ(r.Value(), RegVariant(std::int32_t(0x01020304)));
    EXPECT_EQ(r.ValueType(), static_cast<std::int32_t>(REG_DWORD));
    r.ValueKey("be");
    EXPECT_EQ(r.Value(), RegVariant(std::int32_t(0x01020304)));
    EXPECT_EQ(r.ValueType(), static_cast<std::int32_t>(REG_DWORD_BIG_ENDIAN));
    r.ValueKey("neg");
    EXPECT_EQ(r.Value(), RegVariant(std::int32_t(-2)));
}

TEST_F(cRegistryTest, DwordWritesTakeIntegersOnlyAndABooleanStoresNothing) {
    auto r = reg(HKEY_CURRENT_USER, "S", "flag", REG_DWORD);
    r.Value(RegVariant(true));
    EXPECT_FALSE(stored(HKEY_CURRENT_USER, "S", "flag").found);
    r.Value(RegVariant(1.5));
    r.Value(RegVariant("7"));
    EXPECT_FALSE(stored(HKEY_CURRENT_USER, "S", "flag").found);
    r.Value(RegVariant(std::int16_t(1)));
    auto v = stored(HKEY_CURRENT_USER, "S", "flag");
    EXPECT_EQ(v.type, REG_DWORD);
    EXPECT_EQ(v.data, std::string("\x01\0\0\0", 4));
    // Big-endian asked, little-endian REG_DWORD stored.
    r.ValueType(REG_DWORD_BIG_ENDIAN);
    r.Value(RegVariant(std::int32_t(-1)));
    EXPECT_EQ(stored(HKEY_CURRENT_USER, "S", "flag").type, REG_DWORD);
    EXPECT_EQ(r.Value(), RegVariant(std::int32_t(-1)));
    r.ValueType(REG_DWORD);
    r.Value(RegVariant(std::int16_t(-3)));
    EXPECT_EQ(r.Value(), RegVariant(std::int32_t(-3)));
}

TEST_F(cRegistryTest, AMissingValueReturnsDefaultAndKeepsValueType) {
    auto r = reg(HKEY_CURRENT_USER, "Nowhere", "v", REG_BINARY);
    EXPECT_TRUE(r.Value().isEmpty());
    EXPECT_EQ(r.ValueType(), static_cast<std::int32_t>(REG_BINARY));
    r.Default(RegVariant("fallback"));
    EXPECT_EQ(r.Value(), RegVariant("fallback"));
    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, "Somewhere", "other", REG_SZ, std::string("x\0", 2)));
    r.SectionKey("Somewhere");
    EXPECT_EQ(r.Value(), RegVariant("fallback"));
    EXPECT_EQ(r.ValueType(), static_cast<std::int32_t>(REG_BINARY));
    EXPECT_FALSE(std::filesystem::exists(pw::reg::rootFile(HKEY_LOCAL_MACHINE)));
}

TEST_F(cRegistryTest, BinaryAndOtherTypesReadAsBytes) {
    auto r = reg(HKEY_CURRENT_USER, "S", "bin", REG_BINARY);
    RegBytes bytes{0, 1, 0xFE, 0xFF};
    r.Value(RegVariant(bytes));
    EXPECT_EQ(stored(HKEY_CURRENT_USER, "S", "bin").type, REG_BINARY);
    EXPECT_EQ(r.Value(), RegVariant(bytes));
    r.Value(RegVariant(RegBytes{}));
    EXPECT_EQ(r.Value(), RegVariant(RegBytes{}));
    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, "S", "link", REG_LINK, "ab"));
    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, "S", "odd", 42, "c"));
    r.ValueKey("link");
    EXPECT_EQ(r.Value(), RegVariant(RegBytes{'a', 'b'}));
    r.ValueKey("odd");
    EXPECT_EQ(r.Value(), RegVariant(RegBytes{'c'}));
    EXPECT_EQ(r.ValueType(), 42);
}

TEST_F(cRegistryTest, StringReadsDropOnlyTheTerminatingNul) {
    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, "S", "multi", REG_MULTI_SZ, std::string("a\0bc\0\0", 6)));
    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, "S", "bare", REG_SZ, "no-nul"));
    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, "S", "empty", REG_SZ, ""));
    auto r = reg(HKEY_CURRENT_USER, "S", "multi");
    EXPECT_EQ(r.Value(), RegVariant(std::string("a\0bc\0", 5)));
    r.ValueKey("bare");
    EXPECT_EQ(r.Value(), RegVariant("no-nul"));
    r.ValueKey("empty");
    EXPECT_EQ(r.Value(), RegVariant(""));
}

TEST_F(cRegistryTest, BinaryTypeWithoutAByteArrayRaisesWithoutSourceOrText) {
    auto r = reg(HKEY_CURRENT_USER, "S", "bin", REG_BINARY);
    auto e = raised([&] { r.Value(RegVariant("text")); });
    EXPECT_EQ(e.number(), 26001);
    EXPECT_EQ(e.source(), "");
    EXPECT_EQ(e.description(), "");
    EXPECT_FALSE(stored(HKEY_CURRENT_USER, "S", "bin").found);
}

TEST_F(cRegistryTest, AnUnsupportedTypeStoresNothingAndRaisesTheStoreFailure) {
    auto r = reg(HKEY_CURRENT_USER, "S", "m", REG_MULTI_SZ);
    auto e = raised([&] { r.Value(RegVariant("x")); });
    EXPECT_EQ(e.number(), static_cast<int>(0x800469A9u));
    EXPECT_EQ(e.source(), "PackwellDEMO.cRegistry");
    EXPECT_EQ(e.description(), "Failed to set registry value Key: '-2147483647',Section: 'S',Key: 'm' to value: 'x'");
    EXPECT_FALSE(stored(HKEY_CURRENT_USER, "S", "m").found);
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, "S"));  // the key itself was made
}

TEST_F(cRegistryTest, WritesToAReadOnlyRootRaiseTheSetFailure) {
    pw::reg::setRootReadOnly(HKEY_LOCAL_MACHINE, true);
    auto r = reg(HKEY_LOCAL_MACHINE, "SOFTWARE\\brix", "N", REG_DWORD);
    auto e = raised([&] { r.Value(RegVariant(std::int32_t(5))); });
    EXPECT_EQ(e.number(), 26001);
    EXPECT_EQ(e.source(), "PackwellDEMO.cRegistry");
    EXPECT_EQ(e.description(),
              "Failed to set registry value Key: '-2147483646',Section: 'SOFTWARE\\brix',Key: 'N' to value: '5'");
    e = raised([&] { r.CreateKey(); });
    EXPECT_EQ(e.number(), 26001);
    EXPECT_EQ(e.description(), "Failed to create registry Key: 'SOFTWARE\\brix");
}

TEST_F(cRegistryTest, KeysAreCheckedCreatedAndDeleted) {
    auto r = reg(HKEY_CURRENT_USER, "A\\B\\C");
    EXPECT_FALSE(r.KeyExists());
    EXPECT_TRUE(r.CreateKey());
    EXPECT_TRUE(r.KeyExists());
    EXPECT_TRUE(r.CreateKey());
    r.SectionKey("A");
    auto e = raised([&] { r.DeleteKey(); });
    EXPECT_EQ(e.number(), 26001);
    EXPECT_EQ(e.source(), "PackwellDEMO.cRegistry");
    EXPECT_EQ(e.description(), "Failed to delete registry Key: '-2147483647',Section: 'A");
    EXPECT_TRUE(r.KeyExists());
    r.SectionKey("a\\b\\c");
    EXPECT_TRUE(r.DeleteKey());
    EXPECT_FALSE(r.KeyExists());
}

TEST_F(cRegistryTest, DeleteValueReportsAMissingKeyAndAMissingValue) {
    auto r = reg(HKEY_CURRENT_USER, "K", "v");
    auto e = raised([&] { r.DeleteValue(); });
    EXPECT_EQ(e.number(), 26001);
    EXPECT_EQ(e.description(), "Failed to open key '-2147483647',Section: 'K' for delete access");
    r.Value(RegVariant("x"));
    EXPECT_TRUE(r.DeleteValue());
    EXPECT_FALSE(stored(HKEY_CURRENT_USER, "K", "v").found);
    e = raised([&] { r.DeleteValue(); });
    EXPECT_EQ(e.number(), 26001);
    EXPECT_EQ(e.description(), "Failed to delete registry Key: '-2147483647',Section: 'K',Key: 'v");
}

TEST_F(cRegistryTest, EnumerateValuesInStoredOrder) {
    auto r = reg(HKEY_CURRENT_USER, "E");
    std::vector<std::string> names{"stale"};
    std::int32_t count = 9;
    EXPECT_TRUE(r.EnumerateValues(names, count));
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(names.empty());
    for (const char* n : {"MaxCount", "Count", "Item1", "a-much-longer-value-name", ""}) {
        r.ValueKey(n);
        r.ValueType(REG_SZ);
        r.Value(RegVariant("x"));
    }
    EXPECT_TRUE(r.EnumerateValues(names, count));
    EXPECT_EQ(count, 5);
    EXPECT_EQ(names, (std::vector<std::string>{"MaxCount", "Count", "Item1", "a-much-longer-value-name", ""}));
}

TEST_F(cRegistryTest, EnumerateSectionsByName) {
    auto r = reg(HKEY_CURRENT_USER, "E");
    std::vector<std::string> names{"stale"};
    std::int32_t count = 9;
    EXPECT_TRUE(r.EnumerateSections(names, count));
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(names.empty());
    std::string longest;
    for (int i = 0; i < 255; ++i) longest += "ж";
    for (const std::string& s : std::vector<std::string>{"zeta", "Alpha", longest, "beta"}) {
        r.SectionKey("E\\" + s);
        r.CreateKey();
    }
    r.SectionKey("E");
    EXPECT_TRUE(r.EnumerateSections(names, count));
    EXPECT_EQ(count, 4);
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "beta", "zeta", longest}));
}

TEST_F(cRegistryTest, ExeAssociationQuotesThePathOnceAndWritesEveryVerb) {
    cRegistry r;
    r.CreateEXEAssociation("  \"/opt/app/bin/viewer\"  ", "Brix.Archive", "Brix archive", "bzx", "", true, "",
                           true, "", true, "", 2);
    EXPECT_EQ(r.ClassKey(), HKEY_CLASSES_ROOT);
    auto text = [&](const std::string& key) { return stored(HKEY_CLASSES_ROOT, key, "").data; };
    auto z = [](const std::string& s) { return s + '\0'; };
    EXPECT_EQ(text(".bzx"), z("Brix.Archive"));
    EXPECT_EQ(text("Brix.Archive"), z("Brix archive"));
    EXPECT_EQ(text("Brix.Archive\\shell\\open"), z("&Open"));
    EXPECT_EQ(text("Brix.Archive\\shell\\open\\command"), z("\"/opt/app/bin/viewer\" \"%1\""));
    EXPECT_EQ(text("Brix.Archive\\shell\\print"), z("&Print"));
    EXPECT_EQ(text("Brix.Archive\\shell\\print\\command"), z("\"/opt/app/bin/viewer\" /p \"%1\""));
    EXPECT_EQ(text("Brix.Archive\\shell\\add"), z("&Install bzx"));
    EXPECT_EQ(text("Brix.Archive\\shell\\add\\command"), z("\"/opt/app/bin/viewer\" /a \"%1\""));
    EXPECT_EQ(text("Brix.Archive\\shell\\new"), z("&New"));
    EXPECT_EQ(text("Brix.Archive\\shell\\new\\command"), z("\"/opt/app/bin/viewer\" /n \"%1\""));
    EXPECT_EQ(text("Brix.Archive\\DefaultIcon"), z("\"/opt/app/bin/viewer\",2"));
    EXPECT_EQ(stored(HKEY_CLASSES_ROOT, "Brix.Archive\\shell\\open\\command", "").type, REG_SZ);
}

TEST_F(cRegistryTest, ExeAssociationAddsMissingQuotesAndSkipsUnaskedVerbs) {
    cRegistry r;
    r.CreateEXEAssociation("/opt/my app", "C1", "d", "c1x", "View it", false, "", false, "", false, "", -1);
    EXPECT_EQ(stored(HKEY_CLASSES_ROOT, "C1\\shell\\open", "").data, std::string("View it\0", 8));
    EXPECT_EQ(stored(HKEY_CLASSES_ROOT, "C1\\shell\\open\\command", "").data,
              std::string("\"/opt/my app\" \"%1\"\0", 19));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, "C1\\shell\\print"));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, "C1\\DefaultIcon"));
    cRegistry half;
    half.CreateEXEAssociation("\"/opt/half", "C2", "d", "c2x");
    EXPECT_EQ(stored(HKEY_CLASSES_ROOT, "C2\\shell\\open\\command", "").data,
              std::string("\"/opt/half\" \"%1\"\0", 17));
}

TEST_F(cRegistryTest, AdditionalAssociationsNeedTriplesAndAClass) {
    cRegistry r;
    r.ClassKey(HKEY_CLASSES_ROOT);
    std::vector<RegVariant> four{"edit", "&Edit", "e", "extra"};
    auto e = raised([&] { r.CreateAdditionalEXEAssociations("C3", four); });
    EXPECT_EQ(e.number(), static_cast<int>(0x800469ACu));
    EXPECT_EQ(e.source(), "PackwellDEMO.cRegistry");
    EXPECT_EQ(e.description(),
              "Invalid parameter list passed to CreateAdditionalEXEAssociations - expected Name/Text/Command");
    std::vector<RegVariant> one{"edit", "&Edit", "\"/opt/ed\" \"%1\""};
    e = raised([&] { r.CreateAdditionalEXEAssociations("C3", one); });
    EXPECT_EQ(e.number(), static_cast<int>(0x800469ADu));
    EXPECT_EQ(e.description(), "Error - attempt to create additional associations before class defined.");
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, "C3\\shell\\edit"));

    r.CreateEXEAssociation("/opt/ed", "C3", "d", "c3x");
    std::vector<RegVariant> two{"edit", "&Edit", "\"/opt/ed\" -e \"%1\"", "zip", "&Zip", "/opt/zip %1"};
    r.CreateAdditionalEXEAssociations("C3", two);
    EXPECT_EQ(stored(HKEY_CLASSES_ROOT, "C3\\shell\\edit", "").data, std::string("&Edit\0", 6));
    EXPECT_EQ(stored(HKEY_CLASSES_ROOT, "C3\\shell\\edit\\command", "").data,
              std::string("\"/opt/ed\" -e \"%1\"\0", 18));
    EXPECT_EQ(stored(HKEY_CLASSES_ROOT, "C3\\shell\\zip\\command", "").data, std::string("/opt/zip %1\0", 12));
}

TEST_F(cRegistryTest, ADamagedDatabaseReadsAsMissingAndFailsTheFirstWrite) {
    auto r = reg(HKEY_CURRENT_USER, "S", "v");
    r.Value(RegVariant("before"));
    pw::reg::closeDatabases();
    const std::string file = pw::reg::rootFile(HKEY_CURRENT_USER);
    std::filesystem::remove(file + "-wal");
    std::filesystem::remove(file + "-shm");
    pwtest::writeFile(file, pwtest::patternBytes(10000, 11));
    r.Default(RegVariant("default"));
    EXPECT_EQ(r.Value(), RegVariant("default"));
    EXPECT_FALSE(r.KeyExists());
    std::vector<std::string> names;
    std::int32_t count = 0;
    EXPECT_TRUE(r.EnumerateValues(names, count));
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(r.EnumerateSections(names, count));

    auto e = raised([&] { r.Value(RegVariant("after")); });
    EXPECT_EQ(e.number(), 26001);
    EXPECT_TRUE(std::filesystem::exists(file + ".damaged"));
    r.Value(RegVariant("after"));
    EXPECT_EQ(r.Value(), RegVariant("after"));
}

TEST_F(cRegistryTest, TwoProcessesWritingAThousandValuesEachLoseNothing) {
    constexpr int kEach = 1000;
    bool ok = inChildren(2, [](int p) {
        cRegistry r;
        r.ClassKey(HKEY_CURRENT_USER);
        r.SectionKey("SOFTWARE\\brix\\Marlo\\Both");
        for (int i = 0; i < kEach; ++i) {
            r.ValueType(i % 2 ? REG_SZ : REG_DWORD);
            r.ValueKey("p" + std::to_string(p) + "_" + std::to_string(i));
            if (i % 2) r.Value(RegVariant(std::to_string(i)));
            else r.Value(RegVariant(std::int32_t(i)));
        }
        return true;
    });
    ASSERT_TRUE(ok);
    auto r = reg(HKEY_CURRENT_USER, "SOFTWARE\\brix\\Marlo\\Both");
    std::vector<std::string> names;
    std::int32_t count = 0;
    r.EnumerateValues(names, count);
    EXPECT_EQ(count, 2 * kEach);
    for (int p = 0; p < 2; ++p)
        for (int i : {0, 1, 500, 999}) {
            r.ValueKey("p" + std::to_string(p) + "_" + std::to_string(i));
            EXPECT_EQ(r.Value().toLong(), i);
        }
}
