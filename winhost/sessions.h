// The sessions the Windows host runs against the plug-in DLL, one per
// command; each prints its checks and returns the process exit code.
#pragma once

#include <string>

#include "hostdrive/check_boxes.h"

namespace winhost {

using hostdrive::CheckStates;

struct SessionArgs {
    std::string dll;     // the plug-in DLL
    std::string config;  // the host's plug-in configuration directory
    std::string scene;   // a compact scene file
    std::string bigScene;
    std::string output;  // the output directory typed into the panel
    std::string images;  // where screenshots go
    CheckStates checks{-1, -1, -1, -1, -1, -1, -1, -1};
};

// The four exports and the class descriptor.
int RunExportsSession(const SessionArgs& args);
// The panel: pages, sizes, controls, settings, Normals and Up Normals, accelerators.
int RunPanelSession(const SessionArgs& args);
// One export of a scene with the given check boxes.
int RunExportSession(const SessionArgs& args);
// The two error message boxes and Cancel on the progress dialog mid-export.
int RunErrorsSession(const SessionArgs& args);
// A node whose name Windows forbids in file names.
int RunForbiddenNameSession(const SessionArgs& args);
// Pictures of the panel and of the progress dialog mid-export.
int RunScreenshots(const SessionArgs& args);

}  // namespace winhost
