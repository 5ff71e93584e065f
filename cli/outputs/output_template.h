// The -o template: `{scene}` stands for the scene file's name without its
// extension, `{dir}` for the scene's folder relative to the working directory.
#pragma once

#include <string>

namespace kvooutputs {

// Whether the text holds `{scene}` or `{dir}`.
bool IsOutputTemplate(const std::string& text);

// False with a message when the text holds a placeholder other than the two
// known ones (`{scenes}`, `{name}`...).
bool CheckOutputTemplate(const std::string& text, std::string& error);

// The scene file's name without its last extension ("a.b.obj" gives "a.b",
// ".hidden" stays); false when the path names no file (".", "..", "dir/").
bool SceneStem(const std::string& scenePath, std::string& stem, std::string& error);

// The scene's folder relative to `workingDir` (absolute), "." for a scene
// in it; false for a scene outside it, whose folder would lead the output
// out of the template's tree.
bool SceneFolder(const std::string& scenePath, const std::string& workingDir, std::string& folder,
                 std::string& error);

// The template expanded for one scene and normalised ("out/./a/" gives
// "out/a"); false with a message when a placeholder cannot be filled.
bool ExpandOutputTemplate(const std::string& text, const std::string& scenePath,
                          const std::string& workingDir, std::string& out, std::string& error);

}  // namespace kvooutputs
