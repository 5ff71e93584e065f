// The module as the host sees it right after loading: its four exports, the
// class descriptor, the attach work, and a real unload.
#include <cstring>

#include "platform/max/host_records.h"
#include "platform/win32/headless.h"
#include "tests/module/module_session.h"

using ModuleExports = ModuleSession;

TEST_F(ModuleExports, LibraryFunctionsAnswerAsTheHostExpects) {
    EXPECT_STREQ(module->LibDescription(), "Valdrin KVO Export");
    EXPECT_EQ(module->LibNumberClasses(), 1);
    EXPECT_EQ(module->LibVersion(), 0x23281500ul);
    EXPECT_NE(module->LibClassDesc(0), nullptr);
    for (int index : {1, 2, -1, 1000}) EXPECT_EQ(module->LibClassDesc(index), nullptr) << index;
}

TEST_F(ModuleExports, DescriptorIdentifiesTheUtilityClass) {
    ClassDesc* desc = module->LibClassDesc(0);
    ASSERT_NE(desc, nullptr);
    EXPECT_EQ(desc->IsPublic(), 1);
    EXPECT_EQ(desc->SuperClassID(), 0x1020ul);
    EXPECT_EQ(desc->ClassID().PartA(), 0x85148e0bul);
    EXPECT_EQ(desc->ClassID().PartB(), 0x4a23450cul);
    ASSERT_NE(desc->Category(), nullptr);
    EXPECT_STREQ(desc->Category(), "");
}

TEST_F(ModuleExports, ClassNameIsLoadedFromTheStringTableOnEveryCall) {
    ClassDesc* desc = module->LibClassDesc(0);
    const char* name = desc->ClassName();
    ASSERT_NE(name, nullptr);
    EXPECT_STREQ(name, "Valdrin KVO Exporter");
    // Spoil the buffer: the next call loads the string again.
    std::strcpy(const_cast<char*>(name), "spoilt");
    EXPECT_STREQ(desc->ClassName(), "Valdrin KVO Exporter");
}

TEST_F(ModuleExports, ClassNameIsNullWithoutTheString) {
    headless::UnregisterModuleResources(module->Instance());
    EXPECT_EQ(module->LibClassDesc(0)->ClassName(), nullptr);
}

TEST_F(ModuleExports, CreateAlwaysGivesTheOneUtilityObject) {
    ClassDesc* desc = module->LibClassDesc(0);
    void* first = desc->Create(FALSE);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(desc->Create(TRUE), first);
    // DeleteThis leaves the static object alive and usable.
    static_cast<UtilityObj*>(first)->DeleteThis();
    EXPECT_EQ(desc->Create(FALSE), first);
    OpenPanel();
    EXPECT_EQ(host.RollupPages().size(), 3u);
}

TEST_F(ModuleExports, LoadingRecordsTheModuleAndInitialisesTheControlsOnce) {
    EXPECT_NE(headless::ModuleResources(module->Instance()), nullptr);
    EXPECT_EQ(LastCustomControlsModule(), module->Instance());
    const int customBefore = CustomControlsInitCount();
    const int commonBefore = headless::CommonControlsInitCount();
    // Opening the panel creates dialogs from the module's own resources.
    OpenPanel();
    EXPECT_EQ(headless::Inspect(Page(IDD_OUTPUT)).module, module->Instance());
    ClosePanel();
    EXPECT_EQ(CustomControlsInitCount(), customBefore);
    EXPECT_EQ(headless::CommonControlsInitCount(), commonBefore);
}

TEST_F(ModuleExports, EachLoadInitialisesTheControlsOnceMore) {
    const int customBefore = CustomControlsInitCount();
    const int commonBefore = headless::CommonControlsInitCount();
    UnloadModule();
    LoadModule();
    EXPECT_EQ(CustomControlsInitCount(), customBefore + 1);
    EXPECT_EQ(headless::CommonControlsInitCount(), commonBefore + 1);
}

TEST_F(ModuleExports, UnloadingReallyUnmapsTheModuleAndDropsItsResources) {
    const HINSTANCE instance = module->Instance();
    UnloadModule();
    EXPECT_FALSE(ModuleIsResident(KVOEXP_MODULE_PATH));
    EXPECT_EQ(headless::ModuleResources(instance), nullptr);
}
