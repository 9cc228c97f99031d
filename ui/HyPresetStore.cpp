#include "ui/HyPresetStore.h"

#include "platform/HyFiles.h"

#include <algorithm>
#include <cstdlib>
#include <system_error>

#include "platform/HyFolders.h"
#include "ui/PresetFile.h"

namespace fs = std::filesystem;

namespace {

struct WarningRow {
    int id;
    const char* text;
    HyWarningButton buttons[2];
    int count;
};

// The texts are the dialogs' own, spelling included.
const WarningRow kWarnings[] = {
    {kWarnNoCategory, "You must first select a destination category for the preset!", {{"OK", 1}}, 1},
    {kWarnNoPreset, "You must first select a preset!", {{"OK", 1}}, 1},
    {kWarnNoCategoryName, "You must specify a name for the category!", {{"OK", 1}}, 1},
    {kWarnNoPresetName, "You must specify a name for the preset!", {{"OK", 1}}, 1},
    {kWarnOverwrite, "The preset: ^0\nalready exists! Do you want tor overwrite it?", {{"Cancel", 1}, {"Overwrite", 2}}, 2},
    {kWarnNotFound, "The preset: \n\n^0\n\nCannot be found", {{"Sorry", 1}}, 1},
    {kWarnCannotOpen, "Unable to open the preset file:\n^0", {{"OK", 1}}, 1},
    {kWarnNoParts, "You need to select some part of the preset to load!", {{"OK", 1}}, 1},
    {kWarnDeletePreset, "Are you sure you want permanently delete the preset:\n^0\n in Category:\n^1 ?",
     {{"OK", 2}, {"Cancel", 1}}, 2},
    {kWarnCannotDelete, "Unable to delete preset file:\n^0", {{"OK", 1}}, 1},
    {kWarnBadName, "The name \" ^0 \" isnt recognized by the system.  Please use a different name!!", {{"OK", 1}}, 1},
    {kWarnNameTooLong, "Category and preset names must be less then 32 characters!!", {{"OK", 1}}, 1},
    {kWarnDeleteCategory,
     "Are you sure you want delete the category:\n\n^0\n\n(Note: This will delete the folder and all (preset) files "
     "within!)",
     {{"OK", 2}, {"Cancel", 1}}, 2},
    {kWarnCannotDeleteCategory, "Unable to delete category:\n^0", {{"OK", 1}}, 1},
};

const WarningRow* find_warning(int id)
{
    for (const WarningRow& w : kWarnings)
        if (w.id == id)
            return &w;
    return nullptr;
}

int ask_or_stop(const HyAskFn& ask, const HyWarning& question) { return ask ? ask(question) : 1; }

HyWarning stopped(HyWarning question)
{
    question.answered = true;
    return question;
}

char lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool less_ignoring_case(const std::string& a, const std::string& b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return lower(x) < lower(y); });
}

// Sorts names by name ignoring case, ties by the full path (the names themselves in one folder).
void sort_names(std::vector<std::string>& names)
{
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        if (less_ignoring_case(a, b))
            return true;
        if (less_ignoring_case(b, a))
            return false;
        return a < b;
    });
}

bool is_reserved_device(std::string_view name)
{
    std::string stem;
    for (char c : name.substr(0, name.find('.')))
        stem += lower(c);
    static const char* const kDevices[] = {"con", "prn", "aux", "nul"};
    for (const char* d : kDevices)
        if (stem == d)
            return true;
    return stem.size() == 4 && (stem.rfind("com", 0) == 0 || stem.rfind("lpt", 0) == 0) && stem[3] >= '1' &&
           stem[3] <= '9';
}

// True for well-formed UTF-8 without overlong forms.
bool valid_utf8(std::string_view s)
{
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        if (extra < 0 || (extra == 1 && c < 0xC2) || i + std::size_t(extra) >= s.size())
            return false;
        for (int k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(s[i + std::size_t(k)]) >> 6) != 2)
                return false;
        i += std::size_t(extra) + 1;
    }
    return true;
}

// A name that would leave its folder or that some file system would refuse or silently change.
bool hostile(std::string_view name)
{
    for (char ch : name) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c < 32 || c == 127 || std::string_view("<>:\"/\\|?*").find(ch) != std::string_view::npos)
            return true;
    }
    if (name.find_first_not_of('.') == std::string_view::npos)
        return true;
    if (name.back() == ' ' || name.back() == '.')
        return true;
    return is_reserved_device(name) || !valid_utf8(name);
}

// The first `chars` code points of a name.
std::string cut_to_chars(std::string_view name, std::size_t chars)
{
    std::size_t i = 0;
    for (std::size_t n = 0; i < name.size() && n < chars; ++n) {
        ++i;
        while (i < name.size() && (static_cast<unsigned char>(name[i]) >> 6) == 2)
            ++i;
    }
    return std::string(name.substr(0, i));
}

fs::path preset_path(const fs::path& category, std::string_view name)
{
    return category / (std::string(name) + "." + kPresetExtension);
}

bool entry_exists(const fs::path& p)
{
    std::error_code ec;
    return fs::exists(fs::symlink_status(p, ec));
}

bool is_folder(const fs::path& p)
{
    std::error_code ec;
    return fs::is_directory(fs::symlink_status(p, ec));
}

} // namespace

std::string WarningText(int id, std::string_view text0, std::string_view text1)
{
    const WarningRow* w = find_warning(id);
    if (!w)
        return {};
    std::string out;
    for (const char* p = w->text; *p; ++p) {
        if (p[0] == '^' && (p[1] == '0' || p[1] == '1')) {
            out += p[1] == '0' ? text0 : text1;
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

const HyWarningButton* WarningButtons(int id, int* count)
{
    const WarningRow* w = find_warning(id);
    *count = w ? w->count : 0;
    return w ? w->buttons : nullptr;
}

HyWarning MakeWarning(int id, std::string_view text0, std::string_view text1)
{
    return HyWarning{id, WarningText(id, text0, text1), false};
}

fs::path DefaultPresetRoot()
{
    if (const char* env = std::getenv("SEAVAST_PRESET_ROOT"); env && *env)
        return fs::path(env);
    return hyplat::documents_folder() / "Bluefen" / "SeaVast";
}

bool SetUpPresetRoot(HyPresetState& state, const fs::path& root)
{
    state.root = root;
    state.selected = state.destination = state.current = root;
    state.initialised = true;
    std::error_code ec;
    fs::create_directories(root, ec);
    return is_folder(root) || (fs::is_directory(root, ec) && !ec);
}

void EnsurePresetRoot(HyPresetState& state)
{
    if (!state.initialised)
        SetUpPresetRoot(state, DefaultPresetRoot());
}

bool IsSelected(const HyPresetState& state, const fs::path& p) { return !p.empty() && p != state.root; }

std::string ItemName(const fs::path& p)
{
    return p.extension() == std::string(".") + kPresetExtension ? p.stem().string() : p.filename().string();
}

std::string PresetDisplayName(const HyPresetState& state, const fs::path& preset)
{
    if (!IsSelected(state, preset))
        return kNoneSelected;
    const fs::path folder = preset.parent_path();
    if (folder == state.root || folder.empty())
        return ItemName(preset);
    return folder.filename().string() + ":" + ItemName(preset);
}

std::size_t NameLength(std::string_view name)
{
    std::size_t n = 0;
    for (char c : name)
        n += (static_cast<unsigned char>(c) >> 6) != 2;
    return n;
}

HyWarning CheckName(std::string_view name, int empty_id)
{
    if (name.empty())
        return MakeWarning(empty_id);
    if (NameLength(name) > kMaxPresetNameChars)
        return MakeWarning(kWarnNameTooLong);
    if (hostile(name))
        return MakeWarning(kWarnBadName, name);
    return {};
}

std::vector<std::string> ListCategories(const fs::path& root)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.' || !is_folder(it->path()) || !CheckName(name, kWarnBadName).ok())
            continue;
        names.push_back(name);
    }
    sort_names(names);
    return names;
}

std::vector<std::string> ListPresets(const fs::path& category)
{
    std::vector<std::string> names;
    std::error_code ec;
    const std::string ext = std::string(".") + kPresetExtension;
    for (fs::directory_iterator it(category, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path& p = it->path();
        const std::string name = p.stem().string();
        std::error_code kind;
        if (p.extension() != ext || name.empty() || name[0] == '.' || !it->is_regular_file(kind) ||
            !CheckName(name, kWarnBadName).ok())
            continue;
        names.push_back(name);
    }
    sort_names(names);
    return names;
}

HyWarning ChooseCategory(const HyPresetState& state, std::string_view name, fs::path& out)
{
    HyWarning w = CheckName(name, kWarnNoCategoryName);
    if (!w.ok())
        return w;
    const fs::path folder = state.root / std::string(name);
    if (!is_folder(folder))
        return MakeWarning(kWarnNotFound, name);
    out = folder;
    return {};
}

HyWarning ChoosePreset(HyPresetState& state, std::string_view text)
{
    const std::size_t slash = text.find('/');
    if (slash == std::string_view::npos)
        return MakeWarning(kWarnBadName, text);
    HyWarning w = CheckName(text.substr(0, slash), kWarnNoCategoryName);
    if (w.ok())
        w = CheckName(text.substr(slash + 1), kWarnNoPresetName);
    if (!w.ok())
        return w;
    state.selected = preset_path(state.root / std::string(text.substr(0, slash)), text.substr(slash + 1));
    return {};
}

HyWarning SavePresetAs(HyPresetState& state, std::string_view name, const std::string& text, const HyAskFn& ask)
{
    if (!IsSelected(state, state.destination))
        return MakeWarning(kWarnNoCategory);
    HyWarning w = CheckName(name, kWarnNoPresetName);
    if (!w.ok())
        return w;
    const fs::path file = preset_path(state.destination, name);
    if (entry_exists(file)) {
        const HyWarning question = MakeWarning(kWarnOverwrite, name);
        if (ask_or_stop(ask, question) == 1)
            return stopped(question);
    }
    if (preset_file::Write(file.string(), text) != preset_file::Status::Ok)
        return MakeWarning(kWarnCannotOpen, PresetDisplayName(state, file));
    return {};
}

HyWarning CreateCategory(HyPresetState& state, std::string_view name)
{
    HyWarning w = CheckName(name, kWarnNoCategoryName);
    if (!w.ok())
        return w;
    const fs::path folder = state.root / std::string(name);
    std::error_code ec;
    fs::create_directory(folder, ec);
    if (ec || !is_folder(folder))
        return MakeWarning(kWarnBadName, name);
    state.destination = folder;
    return {};
}

HyWarning DeleteCategory(HyPresetState& state, const HyAskFn& ask)
{
    if (!IsSelected(state, state.current))
        return MakeWarning(kWarnNoCategory);
    const fs::path folder = state.current;
    const std::string name = folder.filename().string();
    const HyWarning question = MakeWarning(kWarnDeleteCategory, name);
    if (ask_or_stop(ask, question) == 1)
        return stopped(question);
    if (is_folder(folder)) {
        // The folder is a direct child of the root and not a link, so nothing outside the root goes.
        std::error_code ec;
        fs::remove_all(folder, ec);
        if (ec || entry_exists(folder))
            return MakeWarning(kWarnCannotDeleteCategory, name);
    }
    if (state.selected.parent_path() == folder)
        state.selected = state.root;
    if (state.destination == folder)
        state.destination = state.root;
    state.current = state.root;
    return {};
}

HyWarning DeletePreset(HyPresetState& state, const HyAskFn& ask)
{
    if (!IsSelected(state, state.selected))
        return MakeWarning(kWarnNoPreset);
    const fs::path file = state.selected;
    const HyWarning question =
        MakeWarning(kWarnDeletePreset, ItemName(file), file.parent_path().filename().string());
    if (ask_or_stop(ask, question) == 1)
        return stopped(question);
    std::error_code ec;
    if (!fs::remove(file, ec) || ec)
        return MakeWarning(kWarnCannotDelete, PresetDisplayName(state, file));
    state.selected = state.root;
    return {};
}

HyWarning CopyPreset(HyPresetState& state, std::string* copy_name)
{
    if (!IsSelected(state, state.selected))
        return MakeWarning(kWarnNoPreset);
    const fs::path source = state.selected;
    std::error_code ec;
    if (!fs::is_regular_file(source, ec))
        return MakeWarning(kWarnCannotOpen, PresetDisplayName(state, source));
    const std::string base = ItemName(source);
    for (unsigned n = 1; n < 100000; ++n) {
        const std::string digits = std::to_string(n);
        const std::string name = cut_to_chars(base, kMaxPresetNameChars - digits.size()) + digits;
        const fs::path target = preset_path(source.parent_path(), name);
        if (entry_exists(target))
            continue;
        // Never overwrites: a file that appeared meanwhile makes the copy fail rather than vanish.
        if (!fs::copy_file(source, target, fs::copy_options::none, ec) || ec) {
            fs::remove(target, ec);
            return MakeWarning(kWarnCannotOpen, PresetDisplayName(state, target));
        }
        if (copy_name)
            *copy_name = name;
        return {};
    }
    return MakeWarning(kWarnCannotOpen, PresetDisplayName(state, source));
}

HyWarning RenamePreset(HyPresetState& state, std::string_view new_name)
{
    if (!IsSelected(state, state.selected))
        return MakeWarning(kWarnNoPreset);
    HyWarning w = CheckName(new_name, kWarnNameTooLong);
    if (!w.ok())
        return w;
    const fs::path target = preset_path(state.selected.parent_path(), new_name);
    if (target == state.selected)
        return {};
    // A rename here would replace an existing preset; refuse it as a system that cannot.
    std::error_code ec;
    if (entry_exists(target) || !fs::is_regular_file(state.selected, ec))
        return MakeWarning(kWarnNameTooLong);
    fs::rename(state.selected, target, ec);
    if (ec)
        return MakeWarning(kWarnNameTooLong);
    state.selected = target;
    return {};
}

HyWarning ReadSelectedPreset(const HyPresetState& state, std::uint32_t mask, std::string& text)
{
    text.clear();
    if (!IsSelected(state, state.selected))
        return MakeWarning(kWarnNoPreset);
    const std::string name = PresetDisplayName(state, state.selected);
    switch (preset_file::Read(state.selected.string(), text)) {
    case preset_file::Status::Ok:
        break;
    case preset_file::Status::Missing:
        return MakeWarning(kWarnNotFound, name);
    default:
        return MakeWarning(kWarnCannotOpen, name);
    }
    if (mask == 0) {
        text.clear();
        return MakeWarning(kWarnNoParts);
    }
    return {};
}

HyWarning ResolvePresetArgument(const std::string& argument, std::string* path)
{
    std::error_code ec;
    const std::size_t slash = argument.find('/');
    const bool store_name = slash != std::string::npos && argument.find('/', slash + 1) == std::string::npos &&
                            argument.size() > 4 && argument.substr(argument.size() - 4) != ".wvp";
    if (!store_name || std::filesystem::exists(hyplat::file_path(argument), ec)) {
        *path = argument;
        return HyWarning{};
    }
    HyPresetState state;
    SetUpPresetRoot(state, DefaultPresetRoot());
    const HyWarning w = ChoosePreset(state, argument);
    if (w.ok())
        *path = hyplat::file_name(state.selected);
    return w;
}
