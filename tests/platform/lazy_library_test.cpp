#include "platform/lazy_library.h"

#include <gtest/gtest.h>

namespace officerecords {
namespace {

// A library that is there hands out its functions; one that is not says
// why and hands out none, so the forwarding functions take their fallback.
TEST(LazyLibrary, OpensOnlyWhatIsThere) {
    const lazy_library present("libm.so.6");
    EXPECT_TRUE(present.error().empty());
    EXPECT_NE(present.symbol("cos"), nullptr);
    EXPECT_EQ(present.symbol("no_such_function_here"), nullptr);

    const lazy_library missing("libofficerecords-not-installed.so.9");
    EXPECT_NE(missing.error().find("libofficerecords-not-installed.so.9"), std::string::npos);
    EXPECT_EQ(missing.symbol("cos"), nullptr);
}

}  // namespace
}  // namespace officerecords
