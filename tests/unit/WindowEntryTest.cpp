#include "core/WindowEntry.h"

#include <gtest/gtest.h>

namespace tavrel {
namespace {

TEST(WindowEntry, IdentityIsTheWindowNumberAlone) {
    const auto icon = std::make_shared<IconImage>();
    const WindowEntry a{7, 100, "Mail", icon, "Inbox", "org.mail"};
    const WindowEntry renamed{7, 200, "Other", nullptr, "Drafts", std::nullopt};
    const WindowEntry other{8, 100, "Mail", icon, "Inbox", "org.mail"};
    EXPECT_EQ(a, renamed);
    EXPECT_NE(a, other);
}

}  // namespace
}  // namespace tavrel
