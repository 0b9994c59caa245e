#include "cli/i18n.h"

#include <gtest/gtest.h>

namespace tavelix::cli {
namespace {

// A translation may put the parts of a message in another order; the English texts use %s.
TEST(Fill, PutsThePartsInOrderOrByNumber) {
    EXPECT_EQ(Fill("not %s (%s): over the limit", {"scrambled", "2000 x 1500"}),
              "not scrambled (2000 x 1500): over the limit");
    EXPECT_EQ(Fill("%2$s, dann %1$s", {"a", "b"}), "b, dann a");
    // A part that holds %s itself is not filled again; a missing part leaves nothing.
    EXPECT_EQ(Fill("%s and %s", {"50%s"}), "50%s and ");
    EXPECT_EQ(Fill("100% sure: %s", {"yes"}), "100% sure: yes");
}

}  // namespace
}  // namespace tavelix::cli
