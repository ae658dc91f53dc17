// The modules as a program meets them: found beside it, or missing, or
// present without a library they need, each absence named in its message.
#include "storage/module_loader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "storage/server_backend.h"
#include "storage/xlsx_writer.h"
#include "tests/test_support.h"

namespace officerecords {
namespace {

using ::testing::HasSubstr;

TEST(ModuleLoaderTest, EachModuleOfTheProgramLoadsFromBesideItAndHandsOutItsObject) {
    auto server = server_backend_module();
    ASSERT_TRUE(server.is_ok()) << server.message();
    EXPECT_EQ((*server)->database_name("postgresql://clerk@127.0.0.1:5432/office"), "office");
    auto writer = xlsx_writer_module();
    ASSERT_TRUE(writer.is_ok()) << writer.message();
    // Asked again, the same object: a module is loaded once.
    EXPECT_EQ(*server_backend_module(), *server);
}

TEST(ModuleLoaderTest, WhatIsMissingIsNamedAndNothingIsLoaded) {
    testkit::scratch_dir empty;
    const std::string fixtures = OFFICERECORDS_MODULE_FIXTURES;
    {
        std::ofstream(empty.file("libofficerecords_broken.so")) << "not a library";
    }
    struct case_ {
        const char* what;
        std::string module;
        std::vector<std::string> folders;
        std::vector<std::string> said;
    };
    const case_ cases[] = {
        {"no module anywhere", "postgres", {empty.path(), empty.file("lib")},
         {"连接数据库服务器需要本程序的模块 libofficerecords_postgres.so", empty.path()}},
        {"the module, not its library", "needs_absent", {fixtures},
         {"需要的库 libofficerecords_absent_dep.so 没有安装", "libofficerecords_needs_absent.so"}},
        {"a file that is no library", "broken", {empty.path()},
         {"需要的模块 libofficerecords_broken.so 不能载入"}},
        {"a library that is no module of ours", "no_entry", {fixtures},
         {"不是本程序的模块", "officerecords_module_no_entry"}},
    };
    for (const case_& c : cases) {
        auto loaded = load_module(c.module, "连接数据库服务器", c.folders);
        EXPECT_FALSE(loaded.is_ok()) << c.what;
        for (const std::string& part : c.said) EXPECT_THAT(loaded.message(), HasSubstr(part)) << c.what;
    }
}

TEST(ModuleLoaderTest, TheModulesFolderCanBeNamedAndIsOtherwiseTheProgramsOwn) {
    const char* before = std::getenv("OFFICERECORDS_MODULE_DIR");
    ::unsetenv("OFFICERECORDS_MODULE_DIR");
    const auto own = module_folders();
    ASSERT_EQ(own.size(), 2u);
    EXPECT_TRUE(std::filesystem::exists(own[0] + "/" + module_file("xlsx"))) << own[0];
    EXPECT_THAT(own[1], ::testing::EndsWith("lib/officerecords"));
    ::setenv("OFFICERECORDS_MODULE_DIR", "/somewhere/else", 1);
    EXPECT_EQ(module_folders(), std::vector<std::string>{"/somewhere/else"});
    if (before)
        ::setenv("OFFICERECORDS_MODULE_DIR", before, 1);
    else
        ::unsetenv("OFFICERECORDS_MODULE_DIR");
}

}  // namespace
}  // namespace officerecords
