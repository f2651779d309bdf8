// The zip options object: what each property leaves in the engine's record,
// the file specification list, and the record and list the engine receives.
#include <gtest/gtest.h>

#include "FakeZip.h"
#include "zip/cZip.h"

namespace {

using pwtest::errorNumberOf;
using pwtest::fakeZip;

TEST(cZipRecord, NewObjectHasTheThreeConstructionFieldsAndNothingElse) {
    cZip z;
    ZipOptionRecord expected;
    expected.fNoDirEntries = 1;
    expected.fJunkDir = 1;
    expected.fRecurse = 0;
    EXPECT_EQ(z.OptionRecord(), expected);
    EXPECT_FALSE(z.StoreDirectories());
    EXPECT_FALSE(z.StoreFolderNames());
    EXPECT_FALSE(z.RecurseSubDirs());
    EXPECT_EQ(z.MessageLevel(), 2);
    EXPECT_FALSE(z.AllowAppend());
    EXPECT_FALSE(z.Encrpyt());
    EXPECT_EQ(z.FileSpecCount(), 0);
    EXPECT_EQ(z.ZipFile(), "");
    EXPECT_EQ(z.BasePath(), "");
    EXPECT_FALSE(z.OptionRecord().szRootDir.has_value());
}

TEST(cZipRecord, InvertedFlagsStoreZeroForTrue) {
    cZip z;
    z.StoreDirectories(true);
    EXPECT_EQ(z.OptionRecord().fNoDirEntries, 0);
    EXPECT_TRUE(z.StoreDirectories());
    z.StoreFolderNames(true);
    EXPECT_EQ(z.OptionRecord().fJunkDir, 0);
    EXPECT_TRUE(z.StoreFolderNames());
    z.StoreDirectories(false);
    z.StoreFolderNames(false);
    EXPECT_EQ(z.OptionRecord().fNoDirEntries, 1);
    EXPECT_EQ(z.OptionRecord().fJunkDir, 1);
}

TEST(cZipRecord, RecursionStoresTwo) {
    cZip z;
    z.RecurseSubDirs(true);
    EXPECT_EQ(z.OptionRecord().fRecurse, 2);
    EXPECT_TRUE(z.RecurseSubDirs());
    z.RecurseSubDirs(false);
    EXPECT_EQ(z.OptionRecord().fRecurse, 0);
}

TEST(cZipRecord, EachBooleanWritesItsOwnFieldOnly) {
    struct Case {
        const char* name;
        std::function<void(cZip&, bool)> set;
        std::function<bool(const cZip&)> get;
        std::int32_t ZipOptionRecord::*field;
    };
    const Case cases[] = {
        {"Encrypt", [](cZip& z, bool b) { z.Encrypt(b); }, [](const cZip& z) { return z.Encrpyt(); },
         &ZipOptionRecord::fEncrypt},
        {"System", [](cZip& z, bool b) { z.IncludeSystemAndHiddenFiles(b); },
         [](const cZip& z) { return z.IncludeSystemAndHiddenFiles(); }, &ZipOptionRecord::fSystem},
        {"Volume", [](cZip& z, bool b) { z.StoreVolumeLabel(b); }, [](const cZip& z) { return z.StoreVolumeLabel(); },
         &ZipOptionRecord::fVolume},
        {"Update", [](cZip& z, bool b) { z.UpdateOnlyIfNewer(b); },
         [](const cZip& z) { return z.UpdateOnlyIfNewer(); }, &ZipOptionRecord::fUpdate},
        {"Freshen", [](cZip& z, bool b) { z.FreshenFiles(b); }, [](const cZip& z) { return z.FreshenFiles(); },
         &ZipOptionRecord::fFreshen},
        {"CRLF_LF", [](cZip& z, bool b) { z.ConvertCRLFToLF(b); }, [](const cZip& z) { return z.ConvertCRLFToLF(); },
         &ZipOptionRecord::fCRLF_LF},
        {"LF_CRLF", [](cZip& z, bool b) { z.ConvertLFToCRLF(b); }, [](const cZip& z) { return z.ConvertLFToCRLF(); },
         &ZipOptionRecord::fLF_CRLF},
        {"Grow", [](cZip& z, bool b) { z.AllowAppend(b); }, [](const cZip& z) { return z.AllowAppend(); },
         &ZipOptionRecord::fGrow},
        {"Traditional", [](cZip& z, bool b) { z.TraditionalEncryption(b); },
         [](const cZip& z) { return z.TraditionalEncryption(); }, &ZipOptionRecord::fEncryption},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        cZip z;
        ZipOptionRecord before = z.OptionRecord();
        c.set(z, true);
        ZipOptionRecord after = z.OptionRecord();
        EXPECT_EQ(after.*c.field, 1);
        EXPECT_TRUE(c.get(z));
        after.*c.field = 0;
        EXPECT_EQ(after, before) << "another field changed";
        c.set(z, false);
        EXPECT_EQ(z.OptionRecord().*c.field, 0);
        EXPECT_FALSE(c.get(z));
    }
}

TEST(cZipRecord, MessageLevelSetsVerboseAndQuietAndIgnoresOtherValues) {
    cZip z;
    z.MessageLevel(0);
    EXPECT_EQ(z.OptionRecord().fVerbose, 1);
    EXPECT_EQ(z.OptionRecord().fQuiet, 0);
    EXPECT_EQ(z.MessageLevel(), 0);
    z.MessageLevel(5);
    EXPECT_EQ(z.OptionRecord().fVerbose, 1);
    EXPECT_EQ(z.MessageLevel(), 0);
    z.MessageLevel(1);
    EXPECT_EQ(z.OptionRecord().fVerbose, 0);
    EXPECT_EQ(z.OptionRecord().fQuiet, 1);
    EXPECT_EQ(z.MessageLevel(), 1);
    z.MessageLevel(-1);
    EXPECT_EQ(z.MessageLevel(), 1);
    z.MessageLevel(2);
    EXPECT_EQ(z.OptionRecord().fVerbose, 0);
    EXPECT_EQ(z.OptionRecord().fQuiet, 0);
    EXPECT_EQ(z.MessageLevel(), 2);
}

TEST(cZipRecord, AllowAppendReadsTrueOnlyForExactlyOne) {
    cZip z;
    z.AllowAppend(true);
    EXPECT_TRUE(z.AllowAppend());
    EXPECT_EQ(z.OptionRecord().fGrow, 1);
}

TEST(cZipRecord, BasePathAndZipFileAreStoredUnchanged) {
    cZip z;
    z.BasePath("  /some where/ ");
    EXPECT_EQ(z.BasePath(), "  /some where/ ");
    EXPECT_EQ(z.OptionRecord().szRootDir, std::optional<std::string>("  /some where/ "));
    z.ZipFile(" a b.zip ");
    EXPECT_EQ(z.ZipFile(), " a b.zip ");
}

TEST(cZipSpecs, AddKeepsOrderAndBoundsAreError9) {
    cZip z;
    EXPECT_EQ(z.AddFileSpec("a"), 0);
    EXPECT_EQ(z.AddFileSpec("b/*.txt"), 0);
    EXPECT_EQ(z.AddFileSpec("c"), 0);
    EXPECT_EQ(z.FileSpecCount(), 3);
    EXPECT_EQ(z.FileSpec(1), "a");
    EXPECT_EQ(z.FileSpec(2), "b/*.txt");
    EXPECT_EQ(z.FileSpec(3), "c");
    EXPECT_EQ(errorNumberOf([&] { z.FileSpec(4); }), 9);
    EXPECT_EQ(errorNumberOf([&] { z.FileSpec(0); }), 9);
    EXPECT_EQ(errorNumberOf([&] { z.FileSpec(-1); }), 9);
}

TEST(cZipSpecs, ClearThenAddStartsAtOne) {
    cZip z;
    z.AddFileSpec("old1");
    z.AddFileSpec("old2");
    z.ClearFileSpecs();
    EXPECT_EQ(z.FileSpecCount(), 0);
    EXPECT_EQ(errorNumberOf([&] { z.FileSpec(1); }), 9);
    z.AddFileSpec("new");
    EXPECT_EQ(z.FileSpecCount(), 1);
    EXPECT_EQ(z.FileSpec(1), "new");
}

class cZipRun : public pwtest::FakeZipTest {};

TEST_F(cZipRun, ZipHandsTheRecordTheListAndTheArchiveToTheEngine) {
    auto z = std::make_shared<cZip>();
    z->ZipFile("/tmp/out.zip");
    z->StoreFolderNames(true);
    z->RecurseSubDirs(true);
    z->AddFileSpec("one.txt");
    z->AddFileSpec("two/*.c");
    z->Zip();
    auto& f = fakeZip();
    EXPECT_EQ(f.calls, (std::vector<std::string>{"ZpInit", "ZpSetOptions", "ZpArchive"}));
    EXPECT_EQ(f.archive, std::optional<std::string>("/tmp/out.zip"));
    EXPECT_EQ(f.count, 2);
    EXPECT_EQ(f.slots[0], std::optional<std::string>("one.txt"));
    EXPECT_EQ(f.slots[1], std::optional<std::string>("two/*.c"));
    EXPECT_EQ(f.options.fJunkDir, 0);
    EXPECT_EQ(f.options.fNoDirEntries, 1);
    EXPECT_EQ(f.options.fRecurse, 2);
    EXPECT_EQ(f.options.fDeleteEntries, 0);
    EXPECT_EQ(f.options.fComment, 0);
    EXPECT_FALSE(f.rootDir.has_value());
    EXPECT_FALSE(f.date.has_value());
    EXPECT_FALSE(f.tempDir.has_value());
    EXPECT_EQ(z->LastResult(), 0);
}

TEST_F(cZipRun, EngineResultIsKeptButNotRaised) {
    fakeZip().result = ZE_NONE;
    auto z = std::make_shared<cZip>();
    z->AddFileSpec("nothing");
    EXPECT_NO_THROW(z->Zip());
    EXPECT_EQ(z->LastResult(), ZE_NONE);
}

TEST_F(cZipRun, DeleteOnEmptyListFailsWith9AndNeverCallsTheEngine) {
    auto z = std::make_shared<cZip>();
    EXPECT_EQ(errorNumberOf([&] { z->Delete(); }), 9);
    EXPECT_TRUE(fakeZip().calls.empty());
    EXPECT_EQ(z->OptionRecord().fDeleteEntries, 0);
}

TEST_F(cZipRun, DeleteFlagIsSetForThatRunOnly) {
    auto z = std::make_shared<cZip>();
    z->ZipFile("a.zip");
    z->AddFileSpec("gone.txt");
    z->Delete();
    EXPECT_EQ(fakeZip().options.fDeleteEntries, 1);
    EXPECT_EQ(fakeZip().slots[0], std::optional<std::string>("gone.txt"));
    EXPECT_EQ(z->OptionRecord().fDeleteEntries, 0);
    z->Zip();
    EXPECT_EQ(fakeZip().options.fDeleteEntries, 0);
    EXPECT_EQ(fakeZip().runs, 2);
}

TEST_F(cZipRun, ListPersistsBetweenRuns) {
    auto z = std::make_shared<cZip>();
    z->AddFileSpec("x");
    z->Zip();
    z->Zip();
    EXPECT_EQ(fakeZip().count, 1);
    EXPECT_EQ(fakeZip().slots[0], std::optional<std::string>("x"));
}

TEST_F(cZipRun, ObjectOnTheStackCanRunToo) {
    cZip z;
    fakeZip().script.push_back({FakeZipAction::Print, "hello", 6});
    std::string seen;
    z.Progress = [&](std::int32_t, const std::string& m) { seen = m; };
    z.Zip();
    EXPECT_EQ(seen, "hello");
    EXPECT_EQ(z.LastMessage(), "hello");
}

}  // namespace
