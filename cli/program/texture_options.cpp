#include "cli/program/texture_options.h"

#include <CLI/CLI.hpp>

namespace kvocli {

void AddTextureOptions(CLI::App& app, TextureOptions& options) {
    app.add_option("--texture-path", options.paths,
                   "a folder where textures are looked for after the scene's own folder "
                   "(repeatable, in order)")
        ->allow_extra_args(false)
        ->type_name("DIR");
    app.add_flag("--copy-textures", options.copy,
                 "copy every texture found, and extract those held in the scene file, into "
                 "the output directory under the name the .kvo stores");
}

}  // namespace kvocli
