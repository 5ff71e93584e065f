#include "cli/program/texture_options.h"

#include <CLI/CLI.hpp>

namespace kvocli {

void AddTextureOptions(CLI::App& app, TextureOptions& options) {
    app.add_option("--texture-path", options.paths,
                   "a folder where textures are looked for after the scene's own folder "
                   "(repeatable, in order)")
        ->allow_extra_args(false)
        ->type_name("DIR");
    CLI::Option* copy =
        app.add_flag("--copy-textures", options.copy,
                     "copy every texture found, and extract those held in the scene file, into "
                     "the output directory under the name the .kvo stores");
    app.add_option("--texture-max", options.maxSide,
                   "copied textures larger than N pixels on a side are scaled down to it "
                   "(aspect kept; needs --copy-textures)")
        ->check(CLI::PositiveNumber)
        ->needs(copy)
        ->type_name("N");
    app.add_flag("--texture-pot", options.powerOfTwo,
                 "copied textures get sides of the next lower power of two (needs "
                 "--copy-textures)")
        ->needs(copy);
}

}  // namespace kvocli
