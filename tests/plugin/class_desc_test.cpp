// The class descriptor's name lookup in the module's own string table, and
// its answers without a module handle or without the string.
#include <gtest/gtest.h>

#include "plugin/kvo_exp_class_desc.h"
#include "plugin/module_objects.h"
#include "tests/plugin/plugin_test_support.h"

namespace {

class ClassDescName : public ::testing::Test {
protected:
    void SetUp() override {
        headless::Reset();
        plugin_test::RegisterResources();
    }
    void TearDown() override {
        hInstance = nullptr;
        headless::Reset();
    }
    KvoExpClassDesc desc;
};

TEST_F(ClassDescName, LoadsStringOneOfTheModule) {
    hInstance = plugin_test::Module();
    const char* name = desc.ClassName();
    ASSERT_NE(name, nullptr);
    EXPECT_STREQ(name, "Valdrin KVO Exporter");
    EXPECT_EQ(desc.ClassName(), name);  // the one static buffer
}

// A null handle would make the string table lookup fall back to the host
// program's own resources; the descriptor must not look there.
TEST_F(ClassDescName, IsNullWithoutAModuleHandleEvenWhenTheHostHasTheString) {
    std::string error;
    ASSERT_TRUE(headless::RegisterModuleResources(
        GetModuleHandleA(nullptr), EmbeddedResourceScript(), EmbeddedResourceHeader(), &error))
        << error;
    hInstance = nullptr;
    EXPECT_EQ(desc.ClassName(), nullptr);
}

TEST_F(ClassDescName, IsNullWhenTheModuleHasNoStringOne) {
    const char script[] = "#include \"resource.h\"\nSTRINGTABLE\nBEGIN\n    2 \"Other\"\nEND\n";
    std::string error;
    ASSERT_TRUE(headless::RegisterModuleResources(plugin_test::Module(), script, "", &error))
        << error;
    hInstance = plugin_test::Module();
    EXPECT_EQ(desc.ClassName(), nullptr);
    headless::UnregisterModuleResources(plugin_test::Module());
    EXPECT_EQ(desc.ClassName(), nullptr);
}

}  // namespace
