// The preset store on disk and the preset manager's state.
//
//   <root>/<category>/<name>.wvp      root = <documents>/Bluefen/SeaVast, or $SEAVAST_PRESET_ROOT
//
// Every manager command is a function of the state that returns the warning that stopped it (id 0 when
// it ran), with the warning's text filled in, instead of showing it: the dialog shows it, the command
// line prints it. The questions (905 overwrite, 909 delete preset, 914 delete category) go to an `ask`
// function, which returns the id of the button pressed; 1 always means "stop".
//
// Names of categories and presets are 1 to 31 characters. A name that could leave the root or that a
// file system refuses (separators, "..", drive letters, control characters, reserved device names,
// trailing blanks or dots) is refused with 911 before anything on disk is touched.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

constexpr const char* kPresetExtension = "wvp";
constexpr std::size_t kMaxPresetNameChars = 31;
constexpr const char* kNoneSelected = "None Selected";

// Warning dialog ids (their texts and buttons are in WarningText / WarningButtons).
enum : int {
    kWarnNoCategory = 901,
    kWarnNoPreset = 902,
    kWarnNoCategoryName = 903,
    kWarnNoPresetName = 904,
    kWarnOverwrite = 905,
    kWarnNotFound = 906,
    kWarnCannotOpen = 907,
    kWarnNoParts = 908,
    kWarnDeletePreset = 909,
    kWarnCannotDelete = 910,
    kWarnBadName = 911,
    kWarnNameTooLong = 912,
    kWarnDeleteCategory = 914,
    kWarnCannotDeleteCategory = 918,
};

struct HyWarning {
    int id = 0;           // 0: the command ran
    std::string text;     // ^0 and ^1 replaced
    bool answered = false; // a question the user already answered with "stop": nothing more to show
    bool ok() const { return id == 0; }
};

struct HyWarningButton {
    const char* label;
    int id;
};

// The warning's text with ^0 and ^1 replaced; empty for an unknown id.
std::string WarningText(int id, std::string_view text0 = {}, std::string_view text1 = {});
// Its buttons in the order shown, left to right; `count` receives how many.
const HyWarningButton* WarningButtons(int id, int* count);
HyWarning MakeWarning(int id, std::string_view text0 = {}, std::string_view text1 = {});

// Shows a question and returns the button pressed.
using HyAskFn = std::function<int(const HyWarning&)>;

// The manager's state (one for the effect). A selection equal to the root means nothing is selected.
struct HyPresetState {
    std::filesystem::path root;
    std::filesystem::path selected;    // category folder / name.wvp, for loading
    std::filesystem::path destination; // category for saving
    std::filesystem::path current;     // category for category commands
    bool initialised = false;
    std::uint32_t mask = 0xFFFF;       // load parts: all groups until the user picks
};

// $SEAVAST_PRESET_ROOT when set, else <documents>/Bluefen/SeaVast.
std::filesystem::path DefaultPresetRoot();
// Points the state at `root` (created when missing) with nothing selected. False when the folder cannot
// be created; the state then still names it, and commands fail with their warnings.
bool SetUpPresetRoot(HyPresetState& state, const std::filesystem::path& root);
// Sets the state up at the default root on first use.
void EnsurePresetRoot(HyPresetState& state);

bool IsSelected(const HyPresetState& state, const std::filesystem::path& p);
// "Harbour:Calm" for <root>/Harbour/Calm.wvp ("Calm" without a category); "None Selected" for none.
std::string PresetDisplayName(const HyPresetState& state, const std::filesystem::path& preset);
// The base name of a preset file or the name of a category folder.
std::string ItemName(const std::filesystem::path& p);

// Checks a category or preset name: empty gives `empty_id`, too long 912, hostile 911; id 0 when fine.
HyWarning CheckName(std::string_view name, int empty_id);
// Characters (UTF-8 code points) of a name.
std::size_t NameLength(std::string_view name);

// Category folders of the root and the presets of one category, sorted by name ignoring case, ties by
// the full path. Hidden entries and entries whose names the store would refuse are left out.
std::vector<std::string> ListCategories(const std::filesystem::path& root);
std::vector<std::string> ListPresets(const std::filesystem::path& category);

// Selection helpers for callers that name things by text (the command line, tests): a category must
// exist to be chosen (else 906 with its name). "CATEGORY/NAME" selects a preset (files need not exist).
HyWarning ChooseCategory(const HyPresetState& state, std::string_view name, std::filesystem::path& out);
HyWarning ChoosePreset(HyPresetState& state, std::string_view category_slash_name);

// A preset as hosts name it (UTF-8): an existing file, a path ending in ".wvp", or CATEGORY/NAME in the
// store at the default root. Sets *path (UTF-8) and returns a warning with id 0, or the store's warning.
HyWarning ResolvePresetArgument(const std::string& argument, std::string* path);

// ---- Manager commands --------------------------------------------------------------------------
// Save `text` as `name` in the destination category (901, 904, 912, 911, 905 asked, 907). The file is
// replaced atomically: a failed save leaves the old preset as it was.
HyWarning SavePresetAs(HyPresetState& state, std::string_view name, const std::string& text, const HyAskFn& ask);
// Create the category `name` (903, 912, 911); it becomes the destination category.
HyWarning CreateCategory(HyPresetState& state, std::string_view name);
// Delete the current category with its presets (901, 914 asked, 918). Selections inside it return to
// the root.
HyWarning DeleteCategory(HyPresetState& state, const HyAskFn& ask);
// Delete the selected preset (902, 909 asked, 910).
HyWarning DeletePreset(HyPresetState& state, const HyAskFn& ask);
// Copy the selected preset to the first free Name1, Name2, ... (902, 907); `copy_name` receives the name.
HyWarning CopyPreset(HyPresetState& state, std::string* copy_name);
// Give the selected preset a new name in its category (902, 911, 912); the selection follows it.
HyWarning RenamePreset(HyPresetState& state, std::string_view new_name);
// The selected preset's text for loading with `mask` (902, 906, 907, 908).
HyWarning ReadSelectedPreset(const HyPresetState& state, std::uint32_t mask, std::string& text);
