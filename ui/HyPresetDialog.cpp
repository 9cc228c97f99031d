#include "ui/HyPresetDialog.h"

#include <system_error>

#include "platform/HyWindowSystem.h"
#include "ui/CPWindow.h"
#include "ui/UiResources.h"

namespace fs = std::filesystem;

namespace {

// Shows what stopped a command; questions were shown when they were asked.
bool done(const HyWarning& w)
{
    if (!w.ok() && !w.answered)
        show_warning(w);
    return w.ok();
}

const HyAskFn kAsk = [](const HyWarning& q) { return show_warning(q); };

void set_popup_text(CPWindow& window, int id, const std::string& text)
{
    if (CView* v = window.FindView(id))
        v->SetText(text, true);
}

// The "Rename Preset" dialog: the new name, or false when cancelled.
bool ask_new_name(const std::string& current, std::string& out)
{
    CPWindow dialog(kRenameDialog, [](CPWindow& w, const CNotification& m) {
        if (m.kind == kMsgNotification && m.code == kNoteClicked && (m.id == 1 || m.id == 2))
            w.EndModal(m.id);
        else if (m.kind == kMsgKey && (m.extra == 13 || m.extra == 27))
            w.EndModal(m.extra == 13 ? 1 : 2);
        else if (m.kind == kMsgClose)
            w.EndModal(2);
        else
            return false;
        return true;
    });
    load_layout(dialog, kRenameDialog, dialog.Module());
    dialog.SetControlText(3, current);
    if (dialog.RunModal() != 1)
        return false;
    out = dialog.GetControlText(3);
    return true;
}

class PresetsDialog {
public:
    PresetsDialog(HyPresetState& state, const HyPresetTextFn& text) : m_state(state), m_text(text) {}

    bool Handle(CPWindow& w, const CNotification& m)
    {
        switch (m.kind) {
        case kMsgInit:
            set_popup_text(w, kCtlPresets, IsSelected(m_state, m_state.selected) ? ItemName(m_state.selected) : kNoneSelected);
            return true;
        case kMsgKey:
            if (m.extra == 13 || m.extra == 27)
                w.EndModal(m.extra == 13 ? kCtlDone : 2);
            return true;
        case kMsgClose:
            w.EndModal(2);
            return true;
        case kMsgNotification:
            break;
        default:
            return false;
        }
        auto* popup = dynamic_cast<CViewPopMenu*>(m.view);
        if (m.code == kNoteAboutToOpen && popup)
            build_menu(*popup, m_state, m.id != kCtlPresets);
        else if (m.code == kNoteItemChosen && popup)
            Choose(*popup, int(m.value));
        else if (m.code == kNoteClicked)
            Command(w, m.id);
        return true;
    }

private:
    void Choose(CViewPopMenu& popup, int item)
    {
        const std::string text = popup.ItemText(item);
        switch (popup.Id()) {
        case kCtlCurrentCategory: m_state.current = m_state.root / text; break;
        case kCtlDestination: m_state.destination = m_state.root / text; break;
        case kCtlPresets: {
            const int parent = popup.ItemParent(item);
            if (parent == 0)
                return; // a category itself
            m_state.selected = m_state.root / popup.ItemText(parent) / (text + "." + kPresetExtension);
            break;
        }
        default: return;
        }
        popup.SetText(text, true);
    }

    void Command(CPWindow& w, int id)
    {
        switch (id) {
        case kCtlDone:
            w.EndModal(kCtlDone);
            break;
        case kCtlSavePreset: {
            const std::string name = w.GetControlText(kCtlPresetName);
            if (done(SavePresetAs(m_state, name, m_text ? m_text() : std::string(), kAsk))) {
                w.SetControlText(kCtlPresetName, "");
                set_popup_text(w, kCtlDestination, ItemName(m_state.destination));
            }
            break;
        }
        case kCtlCreateCategory:
            if (done(CreateCategory(m_state, w.GetControlText(kCtlCategoryName)))) {
                w.SetControlText(kCtlCategoryName, "");
                set_popup_text(w, kCtlDestination, ItemName(m_state.destination));
            }
            break;
        case kCtlDeleteCategory:
            if (done(DeleteCategory(m_state, kAsk))) {
                set_popup_text(w, kCtlCurrentCategory, kNoneSelected);
                if (!IsSelected(m_state, m_state.selected))
                    set_popup_text(w, kCtlPresets, kNoneSelected);
                if (!IsSelected(m_state, m_state.destination))
                    set_popup_text(w, kCtlDestination, kNoneSelected);
            }
            break;
        case kCtlDeletePreset:
            if (done(DeletePreset(m_state, kAsk)))
                set_popup_text(w, kCtlPresets, kNoneSelected);
            break;
        case kCtlCopyPreset:
            if (done(CopyPreset(m_state, nullptr)))
                if (auto* p = dynamic_cast<CViewPopMenu*>(w.FindView(kCtlPresets)))
                    build_menu(*p, m_state, false);
            break;
        case kCtlRenamePreset: {
            if (!done(IsSelected(m_state, m_state.selected) ? HyWarning{} : MakeWarning(kWarnNoPreset)))
                break;
            std::string name;
            if (ask_new_name(ItemName(m_state.selected), name) && done(RenamePreset(m_state, name)))
                set_popup_text(w, kCtlPresets, ItemName(m_state.selected));
            break;
        }
        default:
            break;
        }
    }

    HyPresetState& m_state;
    const HyPresetTextFn& m_text;
};

} // namespace

std::vector<hyplat::HyMenuItem> preset_menu_items(const HyPresetState& state, bool folders_only)
{
    std::vector<hyplat::HyMenuItem> items;
    for (const std::string& category : ListCategories(state.root)) {
        items.push_back({category, 0});
        const int parent = int(items.size());
        if (!folders_only)
            for (const std::string& preset : ListPresets(state.root / category))
                items.push_back({preset, parent});
    }
    return items;
}

void build_menu(CViewPopMenu& popup, const HyPresetState& state, bool folders_only)
{
    popup.ClearItems();
    for (const hyplat::HyMenuItem& item : preset_menu_items(state, folders_only))
        popup.AddItem(item.text, item.parent);
}

int open_presets_dialog(HyPresetState& state, const HyPresetTextFn& preset_text, hyplat::HyBitmap* picture)
{
    if (!state.initialised) {
        SetUpPresetRoot(state, DefaultPresetRoot());
    } else {
        std::error_code ec;
        fs::create_directories(state.root, ec);
    }
    PresetsDialog logic(state, preset_text);
    CPWindow window(kPresetsDialog, [&](CPWindow& w, const CNotification& m) { return logic.Handle(w, m); });
    load_layout(window, kPresetsDialog, window.Module());
    const int result = window.RunModal();
    if (picture)
        *picture = window.Picture();
    state.selected = state.root;
    return result;
}
