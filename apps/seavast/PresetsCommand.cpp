// seavast presets: the preset store (categories of presets under the preset root) from the command line,
// with the preset manager's own commands and warnings.
#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "Command.h"
#include "PresetStore.h"
#include "ImageFiles.h"
#include "Session.h"
#include "platform/HyWindowSystem.h"
#include "ui/HyPresetDialog.h"
#include "ui/PresetFile.h"

namespace seavast_app {

bool resolve_preset_argument(const std::string& argument, std::string* path, std::string* error)
{
    const HyWarning w = ResolvePresetArgument(argument, path);
    if (!w.ok()) {
        *error = warning_line(w);
        return false;
    }
    return true;
}

std::string warning_line(const HyWarning& w)
{
    // Runs of line breaks become one blank, unless a blank is already beside them.
    std::string line = "warning " + std::to_string(w.id) + ": ";
    const std::string& t = w.text;
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (t[i] != '\n') {
            line += t[i];
            continue;
        }
        std::size_t j = i;
        while (j < t.size() && t[j] == '\n')
            ++j;
        if (line.back() != ' ' && j < t.size() && t[j] != ' ')
            line += ' ';
        i = j - 1;
    }
    return line;
}

std::string write_picture(const std::string& path, const hyplat::HyBitmap& picture)
{
    if (!output_format_known(path))
        return "unknown image format of " + path + " (use .png, .tif or .exr)";
    hostkit::World world(picture.width(), picture.height());
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const std::uint32_t w = picture.at(x, y);
            world.at(x, y) = PF_Pixel{A_u_char(w >> 24), A_u_char(w >> 16), A_u_char(w >> 8), A_u_char(w)};
        }
    return write_output_image(path, world);
}

bool queue_inputs(const std::vector<std::string>& inputs)
{
    for (const std::string& text : inputs) {
        hyplat::HyInput input;
        if (!hyplat::parse_input(text, input)) {
            fail("--do " + text + ": not an input (click:X,Y press:ID choose:TEXT type:ID=TEXT answer:ID key:CODE close)");
            return false;
        }
        hyplat::window_system().push(input);
    }
    return true;
}

void print_shown_warnings()
{
    for (const hyplat::HyShownWarning& w : hyplat::window_system().shown_warnings())
        std::fprintf(stderr, "seavast: %s (answered %d)\n", warning_line(HyWarning{w.id, w.text, false}).c_str(), w.answer);
}

namespace {

// A question on a terminal: y or yes presses the button that goes on; anything else stops.
int ask_on_terminal(const HyWarning& question, bool yes, const char* flag)
{
    int count = 0;
    const HyWarningButton* buttons = WarningButtons(question.id, &count);
    int go_on = 1;
    for (int i = 0; i < count; ++i)
        if (buttons[i].id != 1)
            go_on = buttons[i].id;
    if (yes)
        return go_on;
    if (!isatty(STDIN_FILENO)) {
        std::cerr << "seavast: " << warning_line(question) << " (not asked without a terminal; use " << flag << ")\n";
        return 1;
    }
    std::cerr << question.text << " [y/N] " << std::flush;
    std::string answer;
    std::getline(std::cin, answer);
    return (answer == "y" || answer == "Y" || answer == "yes") ? go_on : 1;
}

class PresetsCommand : public Command {
public:
    void add_options(CLI::App& cmd) override
    {
        cmd.require_subcommand(1);
        cmd.fallthrough();
        list_ = cmd.add_subcommand("list", "List the categories and their presets");
        save_ = cmd.add_subcommand("save", "Save the parameter values (defaults plus --preset/--set) as a preset");
        save_->add_option("preset", name_, "CATEGORY/NAME")->required();
        save_->add_flag("--force", force_, "Overwrite an existing preset");
        add_param_options(*save_, params_);
        show_ = cmd.add_subcommand("show", "Show the values a preset holds");
        show_->add_option("preset", name_, "CATEGORY/NAME")->required();
        copy_ = cmd.add_subcommand("copy", "Copy a preset to the first free NAME1, NAME2, ...");
        copy_->add_option("preset", name_, "CATEGORY/NAME")->required();
        rename_ = cmd.add_subcommand("rename", "Give a preset a new name in its category");
        rename_->add_option("preset", name_, "CATEGORY/NAME")->required();
        rename_->add_option("new-name", other_, "NEW NAME")->required();
        delete_ = cmd.add_subcommand("delete", "Delete a preset");
        delete_->add_option("preset", name_, "CATEGORY/NAME")->required();
        delete_->add_flag("--yes", yes_, "Do not ask");
        mkcat_ = cmd.add_subcommand("mkcat", "Create a category");
        mkcat_->add_option("category", name_, "CATEGORY")->required();
        rmcat_ = cmd.add_subcommand("rmcat", "Delete a category with all its presets");
        rmcat_->add_option("category", name_, "CATEGORY")->required();
        rmcat_->add_flag("--yes", yes_, "Do not ask");
        dialog_ = cmd.add_subcommand("dialog", "Run the Presets manager dialog headless and draw it to an image");
        dialog_->add_option("-o,--output", output_, "Image file of the dialog as it closes (PNG, TIFF, EXR)")->required();
        dialog_->add_option("--do", inputs_,
                            "What a user does, in order: click:X,Y press:ID choose:Category/Preset type:ID=TEXT "
                            "answer:BUTTON key:13 close")
            ->type_name("INPUT");
        add_param_options(*dialog_, params_);
        for (CLI::App* sub : {list_, save_, show_, copy_, rename_, delete_, mkcat_, rmcat_, dialog_})
            sub->fallthrough();
    }

    int run(const CommonOptions& common) override
    {
        if (!SetUpPresetRoot(state_, DefaultPresetRoot()))
            return fail("cannot create the preset folder " + state_.root.string());
        if (list_->parsed())
            return list();
        if (dialog_->parsed())
            return dialog(common);
        if (mkcat_->parsed())
            return report(CreateCategory(state_, name_));
        if (rmcat_->parsed()) {
            if (int rc = choose_category(state_.current); rc != kExitOk)
                return rc;
            return report(DeleteCategory(state_, [&](const HyWarning& q) { return ask_on_terminal(q, yes_, "--yes"); }));
        }
        if (int rc = choose_preset(); rc != kExitOk)
            return rc;
        if (save_->parsed())
            return save(common);
        if (show_->parsed()) {
            std::string text;
            const preset_file::Status s = preset_file::Read(state_.selected.string(), text);
            if (s == preset_file::Status::Missing)
                return report(MakeWarning(kWarnNotFound, PresetDisplayName(state_, state_.selected)));
            if (s != preset_file::Status::Ok)
                return report(MakeWarning(kWarnCannotOpen, PresetDisplayName(state_, state_.selected)));
            return print_preset(name_, text);
        }
        if (copy_->parsed()) {
            std::string copy;
            const HyWarning w = CopyPreset(state_, &copy);
            if (w.ok())
                std::printf("%s/%s\n", state_.selected.parent_path().filename().string().c_str(), copy.c_str());
            return report(w);
        }
        if (rename_->parsed())
            return report(RenamePreset(state_, other_));
        return report(DeletePreset(state_, [&](const HyWarning& q) { return ask_on_terminal(q, yes_, "--yes"); }));
    }

private:
    int report(const HyWarning& w)
    {
        if (w.ok())
            return kExitOk;
        if (w.answered)
            return kExitFailure; // the user said stop; the question said why
        return fail(warning_line(w));
    }

    int choose_category(std::filesystem::path& out)
    {
        return report(ChooseCategory(state_, name_, out));
    }

    int choose_preset()
    {
        if (int rc = report(ChoosePreset(state_, name_)); rc != kExitOk)
            return rc;
        if (save_->parsed())
            state_.destination = state_.selected.parent_path();
        // Commands on an existing preset need its category to exist; saving needs it too.
        std::filesystem::path category;
        const std::string cat = state_.selected.parent_path().filename().string();
        if (!ChooseCategory(state_, cat, category).ok())
            return fail("no category \"" + cat + "\" in " + state_.root.string() + " (create it with mkcat)");
        return kExitOk;
    }

    int save(const CommonOptions& common)
    {
        Session session;
        if (!session.open(common, params_, 64, 64))
            return kExitFailure;
        const std::string name = ItemName(state_.selected);
        const HyWarning w = SavePresetAs(state_, name, session.save_preset(), [&](const HyWarning& q) {
            if (!force_)
                std::cerr << "seavast: " << warning_line(q) << " (use --force to overwrite)\n";
            return force_ ? 2 : 1;
        });
        return report(w);
    }

    int dialog(const CommonOptions& common)
    {
        Session session;
        if (!session.open(common, params_, 64, 64) || !queue_inputs(inputs_))
            return kExitFailure;
        hyplat::HyBitmap picture;
        const int result = open_presets_dialog(state_, [&]() { return session.save_preset(); }, &picture);
        print_shown_warnings();
        if (const std::string error = write_picture(output_, picture); !error.empty())
            return fail(error);
        std::printf("closed with %d\n", result);
        return kExitOk;
    }

    int list()
    {
        std::printf("%s\n", state_.root.string().c_str());
        for (const std::string& cat : ListCategories(state_.root)) {
            std::printf("  %s/\n", cat.c_str());
            for (const std::string& preset : ListPresets(state_.root / cat))
                std::printf("    %s\n", preset.c_str());
        }
        return kExitOk;
    }

    HyPresetState state_;
    CLI::App* list_ = nullptr;
    CLI::App* save_ = nullptr;
    CLI::App* show_ = nullptr;
    CLI::App* copy_ = nullptr;
    CLI::App* rename_ = nullptr;
    CLI::App* delete_ = nullptr;
    CLI::App* mkcat_ = nullptr;
    CLI::App* rmcat_ = nullptr;
    CLI::App* dialog_ = nullptr;
    std::string output_;
    std::vector<std::string> inputs_;
    std::string name_;
    std::string other_;
    bool force_ = false;
    bool yes_ = false;
    ParamOptions params_;
};

SEAVAST_COMMAND(PresetsCommand, "presets", "Manage the preset store: list, save, show, copy, rename, delete, mkcat, rmcat",
                51);

} // namespace
} // namespace seavast_app
