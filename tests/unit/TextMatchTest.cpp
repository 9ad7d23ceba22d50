#include "core/TextMatch.h"

#include <gtest/gtest.h>

namespace tavrel {
namespace {

bool matches(std::string_view query, std::string_view text) {
    TextMatcher matcher;
    matcher.setQuery(query);
    return matcher.matches(text);
}

TEST(TextMatch, FindsTheQueryInOrderIgnoringCase) {
    EXPECT_TRUE(matches("", "anything"));
    EXPECT_TRUE(matches("ail", "Mail Inbox"));
    EXPECT_TRUE(matches("MI", "mail inbox"));
    EXPECT_TRUE(matches("mi", "MAIL INBOX"));
    EXPECT_TRUE(matches("l i", "mail inbox"));
    EXPECT_TRUE(matches("ei", "editor notes.txt"));
    EXPECT_FALSE(matches("xe", "editor notes.txt"));
    EXPECT_FALSE(matches("mm", "mail inbox"));
    EXPECT_FALSE(matches("q", ""));
}

TEST(TextMatch, ComparesWholeCharactersUnderCanonicalEquivalence) {
    // A plain letter never stands for an accented one, composed or not.
    EXPECT_FALSE(matches("e", "caf\xc3\xa9"));
    EXPECT_FALSE(matches("e", "cafe\xcc\x81"));
    EXPECT_FALSE(matches("ex", "e\xcc\xb1x")) << "e with a mark no composed letter has";
    EXPECT_FALSE(matches("ie", "na\xc3\xafve"));
    // An accented query finds either form.
    EXPECT_TRUE(matches("\xc3\xa9", "cafe\xcc\x81"));
    EXPECT_TRUE(matches("e\xcc\x81", "caf\xc3\xa9"));
    EXPECT_TRUE(matches("c\xc3\xa9", "caf\xc3\xa9 au lait")) << "in order across clusters";
    EXPECT_FALSE(matches("\xc3\xa9", "cafe"));
    // Plain letters around non-ASCII text still match in order.
    EXPECT_TRUE(matches("nv", "na\xc3\xafve"));
    EXPECT_TRUE(matches("im", "Inbox \xe2\x80\x94 Mail"));
    EXPECT_TRUE(matches("tk", "\xe6\x9d\xb1\xe4\xba\xac Tokyo"));
}

TEST(TextMatch, LowerCasesBeyondAscii) {
    EXPECT_TRUE(
        matches("\xc3\xa9"
                "cole",
                "\xc3\x89"
                "COLE"));
    EXPECT_TRUE(matches("\xce\xb1\xce\xb2", "\xce\x91\xce\x92\xce\x93")) << "Greek";
    EXPECT_TRUE(matches("I", "iI")) << "the same in every locale";
}

TEST(TextMatch, SurvivesIllFormedText) {
    EXPECT_TRUE(matches("ac",
                        "ab\xff"
                        "cd"));
    EXPECT_FALSE(matches("x", "\xc3"));
    EXPECT_TRUE(matches("\x01", "a\x01"));
}

TEST(TextMatch, OneMatcherServesSuccessiveQueries) {
    TextMatcher matcher;
    matcher.setQuery("\xc3\xa9");
    EXPECT_TRUE(matcher.matches("caf\xc3\xa9"));
    matcher.setQuery("af");
    EXPECT_TRUE(matcher.matches("caf\xc3\xa9"));
    EXPECT_TRUE(matcher.matches("cafe\xcc\x81 x"));
    matcher.setQuery("fe");
    EXPECT_FALSE(matcher.matches("caf\xc3\xa9"));
    EXPECT_FALSE(matcher.matches("cafe\xcc\x81 x"));
    EXPECT_TRUE(matcher.matches("fee"));
}

}  // namespace
}  // namespace tavrel
