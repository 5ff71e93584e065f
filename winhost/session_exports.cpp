// Session 1: the DLL's four exports and its class descriptor, with the class
// name read through the real LoadStringA from the DLL's string table.
#include <cstring>

#include "hostdrive/module_loader.h"
#include "plugin/resource.h"
#include "winhost/check_report.h"
#include "winhost/sessions.h"

namespace winhost {

int RunExportsSession(const SessionArgs& args) {
    CheckReport report("exports");
    hostdrive::PluginModule library;
    std::string error;
    if (!report.Expect(library.Load(args.dll, error),
                       "LoadLibraryA and GetProcAddress find the four exports " + error)) {
        return report.Finish();
    }
    report.ExpectText(library.LibDescription(), "Valdrin KVO Export", "LibDescription");
    report.Expect(library.LibNumberClasses() == 1, "LibNumberClasses is 1");
    report.Expect(library.LibVersion() == 0x23281500ul, "LibVersion is 0x23281500");
    report.Expect(library.LibClassDesc(1) == nullptr, "LibClassDesc(1) is null");
    ClassDesc* desc = library.LibClassDesc(0);
    if (!report.Expect(desc != nullptr, "LibClassDesc(0) is the descriptor")) {
        return report.Finish();
    }

    char fromTable[256] = {};
    const int length = LoadStringA(library.Instance(), IDS_CLASS_NAME, fromTable, sizeof fromTable);
    report.ExpectText(std::string(fromTable, length > 0 ? static_cast<size_t>(length) : 0),
                      "Valdrin KVO Exporter", "string 1 of the DLL's string table");
    const char* name = desc->ClassName();
    report.ExpectText(name != nullptr ? name : "(null)", "Valdrin KVO Exporter", "ClassName");
    report.Expect(desc->IsPublic() == 1, "IsPublic is 1");
    report.Expect(desc->SuperClassID() == UTILITY_CLASS_ID, "SuperClassID is 0x1020");
    report.Expect(desc->ClassID() == Class_ID(0x85148e0b, 0x4a23450c),
                  "ClassID is (0x85148e0b, 0x4a23450c)");
    const char* category = desc->Category();
    report.Expect(category != nullptr && category[0] == '\0', "Category is the empty text");
    void* first = desc->Create(FALSE);
    report.Expect(first != nullptr && desc->Create(TRUE) == first,
                  "Create returns the same utility object each time");
    library.Unload();
    report.Expect(GetModuleHandleA("kvoexp.dll") == nullptr, "FreeLibrary unloads the DLL");
    return report.Finish();
}

}  // namespace winhost
