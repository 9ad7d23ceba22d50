#include "core/CanonicalText.h"

#include <gtest/gtest.h>

namespace tavrel {
namespace {

TEST(CanonicalText, EquivalentFormsAreEqualAndDifferentTextsAreNot) {
    EXPECT_TRUE(canonicallyEqual("Caf\u00e9", "Cafe\u0301"));
    EXPECT_TRUE(canonicallyEqual("\u212b ngstr\u00f6m", "A\u030a ngstro\u0308m"));
    EXPECT_FALSE(canonicallyEqual("Cafe", "Caf\u00e9"));
    EXPECT_FALSE(canonicallyEqual("Report", "report"));
    // Compatibility forms are different text: the "fi" ligature is not "fi".
    EXPECT_FALSE(canonicallyEqual("\ufb01le", "file"));
    EXPECT_EQ(canonicalForm("Cafe\u0301"), "Caf\u00e9");
    EXPECT_EQ(canonicalForm("plain ascii"), "plain ascii");
}

TEST(CanonicalText, IllFormedBytesAreKeptAndNeverMerged) {
    EXPECT_FALSE(canonicallyEqual("Title \xff", "Title \xfe"));
    EXPECT_FALSE(canonicallyEqual("Title \xff", "Title \ufffd"));
    EXPECT_EQ(canonicalForm("Cafe\u0301 \xc3"), "Caf\u00e9 \xc3");
}

}  // namespace
}  // namespace tavrel
