// Which nodes of a scene a host selects before pressing Export, and the host
// scene built with that selection: one rule for every host of the plug-in.
#pragma once

#include <string>
#include <vector>

#include "platform/max/host_scene.h"
#include "scene/compact_scene.h"

namespace hostdrive {

// A root child is selected when no pattern is given or its name matches one of
// them (shell patterns); nodes below the root's children never are.
bool IsSelected(const kvoscene::Node& node, const std::vector<std::string>& globs);

// Builds the host scene of `scene` into `host` and selects its root children as
// IsSelected says; the host nodes by scene node index.
std::vector<INode*> BuildSelectedScene(const kvoscene::Scene& scene, HostScene& host,
                                       const std::vector<std::string>& globs);
// The same, taking the scene's meshes over (kvoscene::BuildHostScene): they are
// left empty, the rest of `scene` stays.
std::vector<INode*> BuildSelectedScene(kvoscene::Scene&& scene, HostScene& host,
                                       const std::vector<std::string>& globs);

// Whether `name` matches the shell pattern `glob` (fnmatch without flags where
// the system has it).
bool MatchesGlob(const std::string& glob, const std::string& name);

}  // namespace hostdrive
