// Binding by dispatch identifier: the table, arguments by reference, the
// coercions and the errors of an unknown member or a missing argument.
#include <gtest/gtest.h>

#include <functional>

#include "control/Dispatch.h"
#include "control/ctlPackwell.h"
#include "errors/Error.h"
#include "support/Errors.h"
#include "support/ScriptedPlatform.h"

namespace {

using pw::DispatchKind;
using pw::Variant;

using pwtest::errorNumberOf;

TEST(Dispatch, PropertiesByIdentifierWriteAndRead) {
    ctlPackwell c;
    std::vector<Variant> put{Variant("Your caption")};
    pw::Invoke(c, 0x68030009, DispatchKind::PropertyPut, put);
    std::vector<Variant> none;
    EXPECT_EQ(pw::Invoke(c, 0x68030009, DispatchKind::PropertyGet, none).toString(), "Your caption");
    EXPECT_EQ(c.formUnzipCaption(), "Your caption");
    // Each identifier reaches its own property.
    std::vector<Variant> icon{Variant("/i.ico")};
    pw::Invoke(c, 0x68030003, DispatchKind::PropertyPut, icon);
    EXPECT_EQ(c.formPasswordIcon(), "/i.ico");
    EXPECT_EQ(c.formPasswordCaption(), "");
}

TEST(Dispatch, ListCountAndGetListFiles) {
    ctlPackwell c;
    std::vector<Variant> none;
    EXPECT_EQ(pw::Invoke(c, 0x68030000, DispatchKind::PropertyGet, none).toLong(), 0);
    std::vector<Variant> one{Variant(std::int32_t{1})};
    EXPECT_EQ(errorNumberOf([&] { pw::Invoke(c, 0x68030001, DispatchKind::PropertyGet, one); }), 9);
}

TEST(Dispatch, UnknownIdentifierAndMissingArgument) {
    ctlPackwell c;
    std::vector<Variant> none;
    EXPECT_EQ(errorNumberOf([&] { pw::Invoke(c, 0x12345, DispatchKind::Method, none); }), 438);
    EXPECT_EQ(errorNumberOf([&] { pw::Invoke(c, 0x6003001A, DispatchKind::Method, none); }), 449);
    EXPECT_EQ(errorNumberOf([&] { pw::Invoke(c, 0x68030000, DispatchKind::PropertyPut, none); }), 438);
}

TEST(Dispatch, NamesMapToIdentifiers) {
    EXPECT_EQ(pw::GetIDOfName("SPLITfile"), 0x60030018);
    EXPECT_EQ(pw::GetIDOfName("zipfiles_with_dialog"), 0x60030021);
    EXPECT_EQ(pw::GetIDOfName("nothing"), -1);
}

TEST(Variant, Coercions) {
    EXPECT_TRUE(Variant("True").toBool());
    EXPECT_FALSE(Variant("false").toBool());
    EXPECT_EQ(Variant("720").toLong(), 720);
    EXPECT_EQ(Variant(true).toString(), "True");
    EXPECT_EQ(Variant().toString(), "");
    EXPECT_EQ(errorNumberOf([] { Variant("abc").toLong(); }), 13);
    EXPECT_EQ(errorNumberOf([] { Variant(1e12).toLong(); }), 6);
}

}  // namespace
