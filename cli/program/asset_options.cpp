#include "cli/program/asset_options.h"

namespace kvocli {

void AddAssetOptions(CLI::App& app, CliOptions& options, AssetOptionValues& values) {
    app.add_option("--max-triangles", options.budgets.maxTriangles,
                   "warn (triangles_over_budget) about a written file of more triangles")
        ->type_name("N");
    app.add_option("--max-vertices", options.budgets.maxVertices,
                   "warn (vertices_over_budget) about a written file of more vertices")
        ->type_name("N");
    app.add_option("--max-file-bytes", options.budgets.maxFileBytes,
                   "warn (file_bytes_over_budget) about a written file of more bytes")
        ->type_name("N");
    app.add_option("--max-texture-size", options.budgets.maxTextureSize,
                   "warn (texture_over_budget) about a texture wider or taller than N pixels")
        ->type_name("N");
    app.add_option("--error-on", values.errorOn,
                   "make these warning codes errors: exit status 1 (comma-separated, repeatable)")
        ->allow_extra_args(false)
        ->option_text("CODE,...");
    app.add_option("--ignore", values.ignore,
                   "keep these warning codes off standard error; the report still lists them, "
                   "marked ignored (comma-separated, repeatable)")
        ->allow_extra_args(false)
        ->option_text("CODE,...");
    // Keys are the long options' names: `max-triangles = 20000`, `shader = true`,
    // `error-on = [CODE, ...]`; the command line wins over the file.
    app.allow_config_extras(CLI::config_extras_mode::error);
    app.set_config("--options", "", "read options from a TOML file; the command line wins")
        ->check(CLI::ExistingFile)
        ->option_text("FILE");
}

bool FinishAssetOptions(const CLI::App& app, const AssetOptionValues& values, CliOptions& options,
                        std::string& error) {
    if (!kvochecks::ParseCodeNames(values.errorOn, options.errorOn, error) ||
        !kvochecks::ParseCodeNames(values.ignore, options.ignored, error)) {
        return false;
    }
    for (kvochecks::WarningCode code : options.errorOn) options.warningPolicy.MakeError(code);
    for (kvochecks::WarningCode code : options.ignored) {
        if (options.warningPolicy.IsError(code)) {
            error = std::string("the warning code '") + kvochecks::CodeName(code) +
                    "' is given to both --error-on and --ignore";
            return false;
        }
        options.warningPolicy.Ignore(code);
    }
    const CLI::Option* config = app.get_config_ptr();
    if (config != nullptr && config->count() > 0) options.optionsFile = config->as<std::string>();
    return true;
}

}  // namespace kvocli
