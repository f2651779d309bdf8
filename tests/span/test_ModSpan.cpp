// The split and join engine: the piece set's sizes, header and names, the
// result codes and messages, and what a failed or repeated run leaves behind.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <gmock/gmock.h>

#include "errors/Error.h"
#include "span/ModSpan.h"
#include "span/SpanFixture.h"
#include "support/Errors.h"

namespace {

using spantest::SpanTest;
using ::testing::ElementsAre;

using pwtest::errorNumberOf;

std::int32_t span(const std::string& path, std::int32_t chunk, std::string destination = "") {
    return ModSpan::SpanFile(path, chunk, destination);
}

TEST(PathPart, SplitsAtTheLastSlashOnly) {
    EXPECT_EQ(ModSpan::PathPart("/t/a/archive.zip", true), "archive.zip");
    EXPECT_EQ(ModSpan::PathPart("/t/a/archive.zip", false), "/t/a/");
    EXPECT_EQ(ModSpan::PathPart("archive.zip", true), "archive.zip");
    EXPECT_EQ(ModSpan::PathPart("archive.zip", false), "");
    EXPECT_EQ(ModSpan::PathPart("/t/", true), "");
    EXPECT_EQ(ModSpan::PathPart("a\\b.zip", true), "a\\b.zip");
}

TEST(PieceSuffix, ThreeDigitsThenPlainDigits) {
    EXPECT_EQ(ModSpan::PieceSuffix(1), ".001");
    EXPECT_EQ(ModSpan::PieceSuffix(10), ".010");
    EXPECT_EQ(ModSpan::PieceSuffix(100), ".100");
    EXPECT_EQ(ModSpan::PieceSuffix(999), ".999");
    EXPECT_EQ(ModSpan::PieceSuffix(1000), ".1000");
}

TEST_F(SpanTest, PiecesHoldTheHeaderThenTheSourceBytes) {
    std::string src = make("archive.zip", 2560);
    EXPECT_EQ(span(at("archive.zip"), 1), 3);
    EXPECT_THAT(names(), ElementsAre("archive.001", "archive.002", "archive.003", "archive.zip"));
    std::string p1 = pwtest::readFile(at("archive.001"));
    ASSERT_EQ(p1.size(), 8u + 1024u);
    EXPECT_EQ(p1.substr(0, 8), "zip  003");
    EXPECT_EQ(p1.substr(8), src.substr(0, 1024));
    EXPECT_EQ(pwtest::readFile(at("archive.002")), src.substr(1024, 1024));
    EXPECT_EQ(pwtest::readFile(at("archive.003")), src.substr(2048));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(pwtest::readFile(at("archive.zip")), src);
}

// Pieces of several MiB are copied in runs longer than the copy buffer, at
// offsets that the header shifts by 8 bytes, both ways.
TEST_F(SpanTest, LargePiecesHoldTheirBytesAndJoinBack) {
    std::filesystem::create_directory(at("out"));
    const std::string src = make("big.bin", 5 * 1024 * 1024 + 4093, 11);
    ASSERT_EQ(span(at("big.bin"), 2 * 1024 + 3, at("out")), 3);
    const std::size_t piece = (2 * 1024 + 3) * 1024;
    const std::string p1 = pwtest::readFile(at("out/big.001"));
    ASSERT_EQ(p1.size(), 8 + piece);
    EXPECT_TRUE(p1.compare(8, piece, src, 0, piece) == 0);
    EXPECT_TRUE(pwtest::readFile(at("out/big.002")) == src.substr(piece, piece));
    EXPECT_TRUE(pwtest::readFile(at("out/big.003")) == src.substr(2 * piece));
    std::filesystem::remove(at("big.bin"));
    EXPECT_EQ(ModSpan::JoinSpan(at("out/big.001")), "big.bin");
    EXPECT_TRUE(pwtest::readFile(at("out/big.bin")) == src);
}

TEST_F(SpanTest, ExactMultiplesEndWithAFullPiece) {
    make("one.bin", 1024);
    EXPECT_EQ(span(at("one.bin"), 1), 1);
    EXPECT_EQ(sizeOf("one.001"), 1032u);
    EXPECT_EQ(pwtest::readFile(at("one.001")).substr(0, 8), "bin  001");
    EXPECT_FALSE(pwtest::exists(at("one.002")));

    make("two.bin", 2048);
    EXPECT_EQ(span(at("two.bin"), 1), 2);
    EXPECT_EQ(sizeOf("two.001"), 1032u);
    EXPECT_EQ(sizeOf("two.002"), 1024u);
    EXPECT_FALSE(pwtest::exists(at("two.003")));
}

TEST_F(SpanTest, SmallerThanOnePieceShowsTheMessageAndWritesNothing) {
    make("small.zip", 1023);
    EXPECT_EQ(span(at("small.zip"), 1), 0);
    EXPECT_THAT(ui.messageTexts(), ElementsAre(spantest::kSmaller));
    EXPECT_EQ(ui.messages[0].caption, "PackwellDEMO");
    EXPECT_EQ(ui.messages[0].style, pw::MessageStyle::Plain);
    EXPECT_THAT(names(), ElementsAre("small.zip"));
}

TEST_F(SpanTest, EmptySourceIsLeftAloneSilently) {
    pwtest::writeFile(at("empty.zip"), "");
    // Checked before the piece size, so even a bad size gives 0.
    EXPECT_EQ(span(at("empty.zip"), 0), 0);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_THAT(names(), ElementsAre("empty.zip"));
}

TEST_F(SpanTest, NamesComeFromTheLastFourAndThreeCharacters) {
    make("file.gz", 1500);
    EXPECT_EQ(span(at("file.gz"), 1), 2);
    EXPECT_EQ(pwtest::readFile(at("fil.001")).substr(0, 8), ".gz  002");

    make("page.html", 1500);
    EXPECT_EQ(span(at("page.html"), 1), 2);
    EXPECT_EQ(pwtest::readFile(at("page..001")).substr(0, 8), "tml  002");
    EXPECT_TRUE(pwtest::exists(at("page..002")));

    make("README", 1500);
    EXPECT_EQ(span(at("README"), 1), 2);
    EXPECT_EQ(pwtest::readFile(at("RE.001")).substr(0, 8), "DME  002");
}

TEST_F(SpanTest, NamesCountCharactersNotBytes) {
    std::string src = make("d\xC3\xA9j\xC3\xA0.zip", 1500);  // "déjà.zip"
    EXPECT_EQ(span(at("d\xC3\xA9j\xC3\xA0.zip"), 1), 2);
    EXPECT_TRUE(pwtest::exists(at("d\xC3\xA9j\xC3\xA0.001")));
    // An extension beyond ASCII keeps one header byte per character.
    make("x.\xC3\xA9t\xC3\xA9", 1500);  // "x.été"
    EXPECT_EQ(span(at("x.\xC3\xA9t\xC3\xA9"), 1), 2);
    EXPECT_EQ(sizeOf("x.001"), 1024u + 8u);
    EXPECT_EQ(ModSpan::JoinSpan(at("x.001")), "x_Copy.\xC3\xA9t\xC3\xA9");
}

TEST_F(SpanTest, ShortNameOrBadPieceSizeIsAnError) {
    make("abc", 2000);
    EXPECT_EQ(errorNumberOf([&] { span(at("abc"), 1); }), pw::kInvalidProcedureCall);
    make("four.bin", 2000);
    EXPECT_EQ(errorNumberOf([&] { span(at("four.bin"), 0); }), pw::kInvalidProcedureCall);
    EXPECT_EQ(errorNumberOf([&] { span(at("four.bin"), -5); }), pw::kInvalidProcedureCall);
    EXPECT_EQ(errorNumberOf([&] { span(at("four.bin"), 2097152); }), pw::kOverflow);
    EXPECT_EQ(errorNumberOf([&] { span(at("missing.bin"), 1); }), pw::kFileNotFound);
    EXPECT_THAT(names(), ElementsAre("abc", "four.bin"));
}

TEST_F(SpanTest, LargestPieceSizeNeedsNoBufferOfThatSize) {
    // 2,097,151 KiB pieces: the source is smaller, so only the message; the
    // engine must get there without reserving the piece size.
    make("big.bin", 4096);
    EXPECT_EQ(span(at("big.bin"), 2097151), 0);
    EXPECT_THAT(ui.messageTexts(), ElementsAre(spantest::kSmaller));
}

TEST_F(SpanTest, DestinationGetsItsSlashAndReceivesThePieces) {
    std::filesystem::create_directory(at("out"));
    make("archive.zip", 3000);
    std::string destination = at("out");
    EXPECT_EQ(ModSpan::SpanFile(at("archive.zip"), 1, destination), 3);
    EXPECT_EQ(destination, at("out") + "/");
    EXPECT_TRUE(pwtest::exists(at("out/archive.001")));
    EXPECT_TRUE(pwtest::exists(at("out/archive.003")));
    EXPECT_FALSE(pwtest::exists(at("archive.001")));

    std::string withSlash = at("out") + "/";
    EXPECT_EQ(ModSpan::SpanFile(at("archive.zip"), 2, withSlash), 2);
    EXPECT_EQ(withSlash, at("out") + "/");
}

TEST_F(SpanTest, MissingDestinationFolderIsPathNotFound) {
    make("archive.zip", 3000);
    std::string destination = at("nowhere");
    EXPECT_EQ(errorNumberOf([&] { ModSpan::SpanFile(at("archive.zip"), 1, destination); }), pw::kPathNotFound);
}

TEST_F(SpanTest, OlderLargerSetIsReplaced) {
    make("archive.zip", 5000);
    EXPECT_EQ(span(at("archive.zip"), 1), 5);
    make("archive.zip", 1500, 9);
    EXPECT_EQ(span(at("archive.zip"), 1), 2);
    EXPECT_EQ(sizeOf("archive.001"), 1032u);
    EXPECT_EQ(sizeOf("archive.002"), 476u);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(SpanTest, ThousandPiecesFailTheSizeCheck) {
    // The header's count then takes four digits and the set is one byte
    // longer than the source plus eight.
    make("many.bin", 1000 * 1024 + 1);
    EXPECT_EQ(span(at("many.bin"), 1), 9999);
    EXPECT_THAT(ui.messageTexts(), ElementsAre(spantest::kSizeMismatch));
    EXPECT_EQ(pwtest::readFile(at("many.001")).substr(0, 9), "bin  1001");
    EXPECT_TRUE(pwtest::exists(at("many.999")));
    EXPECT_TRUE(pwtest::exists(at("many.1000")));
    EXPECT_EQ(sizeOf("many.1001"), 1u);
}

TEST_F(SpanTest, HolesOfASparseSourceKeepTheirSizeAndZeros) {
    // Data at 100 and 3000, holes elsewhere, a hole at the end: every piece
    // still has its full size and the join gives back the same bytes.
    std::string bytes(9000, '\0');
    {
        std::ofstream out(at("sparse.img"), std::ios::binary);
        out.seekp(100);
        out << "first";
        out.seekp(3000);
        out << "second";
    }
    std::filesystem::resize_file(at("sparse.img"), 9000);
    bytes.replace(100, 5, "first");
    bytes.replace(3000, 6, "second");
    std::filesystem::create_directory(at("out"));
    std::string destination = at("out");
    ASSERT_EQ(ModSpan::SpanFile(at("sparse.img"), 2, destination), 5);
    EXPECT_EQ(std::filesystem::file_size(at("out/sparse.001")), 2048u + 8u);
    EXPECT_EQ(std::filesystem::file_size(at("out/sparse.005")), 9000u - 4 * 2048u);
    ASSERT_EQ(ModSpan::JoinSpan(at("out/sparse.001")), "sparse.img");
    EXPECT_EQ(pwtest::readFile(at("out/sparse.img")), bytes);
}

TEST_F(SpanTest, ASourceThatShrinksWhileSplitIsInputPastEnd) {
    // The source is cut short after the first piece: the second must show as
    // short, never be filled up with zeros to its full size.
    make("shrink.bin", 3 * 1024);
    int events = 0;
    ui.onDoEvents = [&] {
        if (++events == 2) std::filesystem::resize_file(at("shrink.bin"), 1500);
    };
    EXPECT_EQ(errorNumberOf([&] { span(at("shrink.bin"), 1); }), pw::kInputPastEnd);
}

TEST_F(SpanTest, EventsAndProgressOncePerPiece) {
    make("archive.zip", 2560);
    std::vector<int> piecesSeenAtEvent;
    ui.onDoEvents = [&] {
        int n = 0;
        for (const char* s : {"archive.001", "archive.002", "archive.003"}) n += pwtest::exists(at(s));
        piecesSeenAtEvent.push_back(n);
    };
    EXPECT_EQ(span(at("archive.zip"), 1), 3);
    EXPECT_EQ(ui.doEventsCount, 3);
    EXPECT_THAT(piecesSeenAtEvent, ElementsAre(0, 1, 2));
    ASSERT_EQ(ui.progressReports.size(), 3u);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(ui.progressReports[k].done, k + 1);
        EXPECT_EQ(ui.progressReports[k].total, 3);
    }
}

TEST_F(SpanTest, ASourceThatIsOneOfItsOwnPieceNamesIsNeverReplaced) {
    std::string bytes = make("old.001", 3000);
    EXPECT_EQ(errorNumberOf([&] { span(at("old.001"), 1); }), pw::kPathFileAccess);
    EXPECT_EQ(pwtest::readFile(at("old.001")), bytes);

    std::string later = make("set.003", 5000);
    EXPECT_EQ(errorNumberOf([&] { span(at("set.003"), 1); }), pw::kPathFileAccess);
    EXPECT_EQ(pwtest::readFile(at("set.003")), later);
}

// --- Joining ---

TEST_F(SpanTest, JoinRebuildsTheSourceNextToThePieces) {
    std::filesystem::create_directory(at("out"));
    std::string src = make("archive.zip", 2560);
    std::string destination = at("out");
    ASSERT_EQ(ModSpan::SpanFile(at("archive.zip"), 1, destination), 3);
    EXPECT_EQ(ModSpan::JoinSpan(at("out/archive.001")), "archive.zip");
    EXPECT_EQ(pwtest::readFile(at("out/archive.zip")), src);
    EXPECT_TRUE(ui.messages.empty());
    ASSERT_EQ(ui.progressReports.size(), 6u);
    EXPECT_EQ(ui.progressReports.back().task, "Joining");
    EXPECT_EQ(ui.progressReports.back().done, 3);
}

TEST_F(SpanTest, JoinBesideTheOriginalWritesACopy) {
    std::string src = make("archive.zip", 2560);
    ASSERT_EQ(span(at("archive.zip"), 1), 3);
    EXPECT_EQ(ModSpan::JoinSpan(at("archive.001")), "archive_Copy.zip");
    EXPECT_THAT(ui.messageTexts(), ElementsAre(spantest::kCopyMessage));
    EXPECT_EQ(pwtest::readFile(at("archive_Copy.zip")), src);
    EXPECT_EQ(pwtest::readFile(at("archive.zip")), src);
}

TEST_F(SpanTest, TakenCopyNameIsReplacedWhole) {
    std::string src = make("archive.zip", 2560);
    ASSERT_EQ(span(at("archive.zip"), 1), 3);
    pwtest::writeFile(at("archive_Copy.zip"), std::string(100000, 'x'));
    EXPECT_EQ(ModSpan::JoinSpan(at("archive.001")), "archive_Copy.zip");
    EXPECT_EQ(pwtest::readFile(at("archive_Copy.zip")), src);
}

TEST_F(SpanTest, JoinOfTwelvePiecesKeepsTheirOrder) {
    std::filesystem::create_directory(at("out"));
    std::string src = make("data.bin", 11 * 1024 + 77);
    std::string destination = at("out");
    ASSERT_EQ(ModSpan::SpanFile(at("data.bin"), 1, destination), 12);
    EXPECT_EQ(pwtest::readFile(at("out/data.001")).substr(0, 8), "bin  012");
    EXPECT_TRUE(pwtest::exists(at("out/data.010")));
    EXPECT_EQ(ModSpan::JoinSpan(at("out/data.001")), "data.bin");
    EXPECT_EQ(pwtest::readFile(at("out/data.bin")), src);
}

TEST_F(SpanTest, MissingPieceStopsTheJoinBeforeWriting) {
    std::filesystem::create_directory(at("out"));
    make("archive.zip", 2560);
    std::string destination = at("out");
    ASSERT_EQ(ModSpan::SpanFile(at("archive.zip"), 1, destination), 3);
    std::filesystem::remove(at("out/archive.002"));
    EXPECT_EQ(ModSpan::JoinSpan(at("out/archive.001")), "");
    EXPECT_THAT(ui.messageTexts(), ElementsAre(at("out/archive.002") + " missing. Impossible to reconstruct file."));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(at("out")), {}), 2);
}

TEST_F(SpanTest, JoinOfAnOddExtensionDoesNotRestoreTheName) {
    std::filesystem::create_directory(at("out"));
    std::string src = make("file.gz", 1500);
    std::string destination = at("out");
    ASSERT_EQ(ModSpan::SpanFile(at("file.gz"), 1, destination), 2);
    EXPECT_EQ(ModSpan::JoinSpan(at("out/fil.001")), "fil..gz");
    EXPECT_EQ(pwtest::readFile(at("out/fil..gz")), src);
}

TEST_F(SpanTest, JoinUsesOnlyTheCountedPieces) {
    pwtest::writeFile(at("set.001"), "txt  001hello");
    pwtest::writeFile(at("set.002"), "not part of it");
    pwtest::writeFile(at("set.003"), "nor this");
    EXPECT_EQ(ModSpan::JoinSpan(at("set.001")), "set.txt");
    EXPECT_EQ(pwtest::readFile(at("set.txt")), "hello");
}

TEST_F(SpanTest, BadHeadersAreErrorsAndLeaveNothing) {
    pwtest::writeFile(at("short.001"), "zip  0");
    EXPECT_EQ(errorNumberOf([&] { ModSpan::JoinSpan(at("short.001")); }), pw::kInputPastEnd);
    pwtest::writeFile(at("word.001"), "zip  abcdata");
    EXPECT_EQ(errorNumberOf([&] { ModSpan::JoinSpan(at("word.001")); }), pw::kTypeMismatch);
    pwtest::writeFile(at("none.001"), "zip  000data");
    EXPECT_EQ(errorNumberOf([&] { ModSpan::JoinSpan(at("none.001")); }), pw::kTypeMismatch);
    // An extension must not lead out of the pieces' folder.
    pwtest::writeFile(at("up.001"), "/..  001data");
    EXPECT_EQ(errorNumberOf([&] { ModSpan::JoinSpan(at("up.001")); }), pw::kBadFileName);
    EXPECT_THAT(names(), ElementsAre("none.001", "short.001", "up.001", "word.001"));
}

// Fails the join after its first piece, as a read or write error would.
class FailingAfterFirstPiece : public pw::ScriptedPlatform {
public:
    void progress(std::string_view task, std::int64_t done, std::int64_t total) override {
        ScriptedPlatform::progress(task, done, total);
        if (task == "Joining" && done == 1) throw pw::Error(pw::kDiskFull);
    }
};

TEST_F(SpanTest, FailedJoinLeavesNoPartialOutputAndNoTemporaryFile) {
    std::filesystem::create_directory(at("out"));
    make("archive.zip", 2560);
    std::string destination = at("out");
    ASSERT_EQ(ModSpan::SpanFile(at("archive.zip"), 1, destination), 3);
    FailingAfterFirstPiece failing;
    pw::ScopedPlatform use(failing);
    EXPECT_EQ(errorNumberOf([&] { ModSpan::JoinSpan(at("out/archive.001")); }), pw::kDiskFull);
    std::vector<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(at("out"))) left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_THAT(left, ElementsAre("archive.001", "archive.002", "archive.003"));
}

TEST_F(SpanTest, JoinedFileGetsOrdinaryPermissions) {
    make("archive.zip", 2560);
    std::filesystem::create_directory(at("out"));
    std::string destination = at("out");
    ASSERT_EQ(ModSpan::SpanFile(at("archive.zip"), 1, destination), 3);
    ASSERT_EQ(ModSpan::JoinSpan(at("out/archive.001")), "archive.zip");
    EXPECT_EQ(std::filesystem::status(at("out/archive.zip")).permissions(),
              std::filesystem::status(at("out/archive.001")).permissions());
}

}  // namespace
