// seavast preset: write the current parameter values to a preset file, or list what a preset holds.
#include <cstdio>
#include <iostream>

#include "Command.h"
#include "PresetStore.h"
#include "Session.h"
#include "host/Settings.h"
#include "ui/CTokener.h"
#include "ui/PresetFile.h"

namespace seavast_app {
namespace {

class PresetCommand : public Command {
public:
    void add_options(CLI::App& cmd) override
    {
        cmd.add_option("action", action_, "save: write defaults plus --set/--preset values; show: list a preset")
            ->required()
            ->check(CLI::IsMember({"save", "show"}));
        cmd.add_option("file", file_, "Preset file (.wvp)")->required()->type_name("FILE");
        add_param_options(cmd, params_);
    }

    int run(const CommonOptions& common) override { return action_ == "save" ? save(common) : show(); }

private:
    int save(const CommonOptions& common)
    {
        Session session;
        if (!session.open(common, params_, 64, 64))
            return kExitFailure;
        const std::string text = session.save_preset();
        const preset_file::Status s = preset_file::Write(file_, text);
        if (s != preset_file::Status::Ok)
            return fail("cannot write the preset " + file_ + ": " + preset_file::StatusText(s));
        return kExitOk;
    }

    int show()
    {
        if (!params_.sets.empty() || !params_.preset.empty())
            return fail("preset show takes only the file to list");
        std::string text;
        const preset_file::Status s = preset_file::Read(file_, text);
        if (s != preset_file::Status::Ok)
            return fail("cannot read the preset " + file_ + ": " + preset_file::StatusText(s));
        return print_preset(file_, text);
    }

    std::string action_;
    std::string file_;
    ParamOptions params_;
};

SEAVAST_COMMAND(PresetCommand, "preset", "Save the current parameter values as a preset, or show a preset's values", 50);

} // namespace

int print_preset(const std::string& label, const std::string& text)
{
    CTokener t(text);
    std::string version;
    const bool versioned = t.GetString(kPresetVersionKey, version);
    std::printf("%s = %s\n", kPresetVersionKey, versioned ? version.c_str() : "(missing)");
    ParamGroup group = ParamGroup::Input;
    int found = 0, missing = 0;
    for (const PresetEntry& e : PresetEntries(text)) {
        if (e.group != group) {
            group = e.group;
            std::printf("%s\n", ParamGroupName(group));
        }
        std::string name = e.row->name;
        while (!name.empty() && name.back() == ' ')
            name.pop_back();
        if (e.row->kind == kParamColor)
            name += e.component == 0 ? " (red)" : e.component == 1 ? " (green)" : " (blue)";
        if (e.row->group == ParamGroup::Swells)
            name = "enabled";
        std::printf("  %-20s %-28s %s\n", e.key.c_str(), name.c_str(), e.found ? e.value.c_str() : "(missing: default)");
        (e.found ? found : missing) += 1;
    }
    if (!versioned)
        return fail(label + " has no " + kPresetVersionKey + " key: a host loads nothing from it");
    if (missing > 0)
        std::fprintf(stderr, "seavast: %d of %d keys are missing; their parameters load as defaults\n", missing,
                     found + missing);
    return kExitOk;
}

} // namespace seavast_app
