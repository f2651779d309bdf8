// The one UTF-8 decoder and folding rule that the core, the registry and the
// unzip engine share.
#include <gtest/gtest.h>

#include <clocale>

#include "platform/Text.h"
#include "platform/Utf8.h"

using pw::utf8::fold;

TEST(Utf8, InvalidBytesStayDistinctAndSurviveFolding) {
    EXPECT_NE(fold("\xFF"), fold("\xFE"));
    EXPECT_EQ(fold("a\xC3"), "A\xC3");             // a sequence cut short
    EXPECT_EQ(fold("\xC3(b"), "\xC3(B");           // a lead byte without its continuation
    EXPECT_EQ(fold("\xED\xB2\x80"), "\xED\xB2\x80");  // an encoded surrogate is no escaped byte
    EXPECT_NE(fold("\xED\xB2\x80"), fold("\x80"));
    EXPECT_EQ(pw::charCount("\xC3(\xFF"), 3u);
    EXPECT_FALSE(pw::utf8::isValid("\xED\xB2\x80"));
    EXPECT_FALSE(pw::utf8::isValid("\xC0\xAF"));  // overlong "/"
    EXPECT_TRUE(pw::utf8::isValid("Größe Ωmega"));
}

TEST(Utf8, UpperCasingIsTheSameUnderEveryLocale) {
    const char* saved = std::setlocale(LC_ALL, nullptr);
    std::string before = saved ? saved : "C";
    std::setlocale(LC_ALL, "C");
    const std::string inC = pw::toUpper("ärger.é ωmega дом ß");
    std::setlocale(LC_ALL, "C.UTF-8");
    const std::string inUtf8 = pw::toUpper("ärger.é ωmega дом ß");
    std::setlocale(LC_ALL, before.c_str());
    EXPECT_EQ(inC, "ÄRGER.É ΩMEGA ДОМ ß");
    EXPECT_EQ(inC, inUtf8);
    EXPECT_TRUE(pw::equalsNoCase("true", "TRUE"));
    EXPECT_FALSE(pw::equalsNoCase("true", "TRUE "));
}
