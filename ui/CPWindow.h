// Dialog windows of the effect: made from a dialog resource (title, size, native edit fields), filled
// with views by `load_layout`, run modally on the headless window system, drawn into a bitmap.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/HyGraphics.h"
#include "ui/CView.h"
#include "ui/HyPresetStore.h"

// The module's resources: layout texts, bitmaps and dialog templates, by id.
struct CDialogTemplate {
    std::int32_t id;
    const char* title;
    int width, height;
    std::int32_t layout; // layout text resource, 0 for none
    std::vector<std::int32_t> edits; // ids of the native edit fields (placed by the layout)
};

struct CResourceModule {
    // Null when there is no such resource.
    const hyplat::HyBitmap* Bitmap(std::int32_t id) const;
    const char* LayoutText(std::int32_t id) const;
    const CDialogTemplate* Dialog(std::int32_t id) const;
};
// The effect's own resources, built into the module.
const CResourceModule& EffectResources();

class CPWindow;
// A dialog's handler: returns true when it handled the message.
using CWindowHandler = std::function<bool(CPWindow&, const CNotification&)>;

class CPWindow : public CListener {
public:
    static constexpr std::int32_t kTimerId = 99;
    static constexpr int kMaxSide = 4096;

    // A window from dialog resource `dialog_id` (an empty 100 x 100 window when there is none).
    CPWindow(std::int32_t dialog_id, CWindowHandler handler, const CResourceModule& module = EffectResources());
    ~CPWindow() override;
    CPWindow(const CPWindow&) = delete;
    CPWindow& operator=(const CPWindow&) = delete;

    void Listen(const CNotification& message) override;

    // Views are owned by the window; the window listens to each.
    CView* AddView(std::unique_ptr<CView> view);
    CView* FindView(std::int32_t id) const;
    const std::vector<std::unique_ptr<CView>>& Views() const { return m_views; }

    // Native edit fields.
    bool GetControlRect(std::int32_t id, hyplat::HyRect& out) const;
    bool SetControlRect(std::int32_t id, const hyplat::HyRect& r);
    std::string GetControlText(std::int32_t id) const;
    void SetControlText(std::int32_t id, std::string_view text);

    const std::string& Title() const { return m_title; }
    int Width() const { return m_picture.width(); }
    int Height() const { return m_picture.height(); }
    // Sizes are kept within 1 .. kMaxSide.
    void Resize(int width, int height);
    const CResourceModule& Module() const { return m_module; }

    // Runs the modal loop on the window system's script: sends the init message, then each input in
    // turn, until the handler ends it (or the script is used up, which counts as closing: result 0).
    std::int32_t RunModal();
    void EndModal(std::int32_t result);
    bool Running() const { return m_running; }

    // Repaints a rectangle into the picture at once, or marks it for the next paint.
    void RedrawRect(const hyplat::HyRect& r);
    void InvalidateRect(const hyplat::HyRect& r);
    // The window as it looks now (pending repaints done).
    const hyplat::HyBitmap& Picture();

private:
    struct Control {
        std::int32_t id;
        hyplat::HyRect rect;
        std::string text;
    };
    void Paint(const hyplat::HyRect& r);
    void Deliver(const hyplat::HyInput& input);
    bool Send(const CNotification& message);

    const CResourceModule& m_module;
    CWindowHandler m_handler;
    std::string m_title;
    std::vector<std::unique_ptr<CView>> m_views;
    std::vector<Control> m_controls;
    hyplat::HyBitmap m_picture;
    hyplat::HyRect m_dirty;
    bool m_running = false;
    std::int32_t m_result = 0;
};

// Creates the views of a layout text in `window` and resizes it as the text says. Returns how many views
// were created.
int load_layout(CPWindow& window, std::int32_t text_id, const CResourceModule& module);
// The same from a layout text given directly.
int load_layout_text(CPWindow& window, std::string_view text, const CResourceModule& module);

// A modal warning (id from the warning table) with ^0 and ^1 replaced; returns the button pressed.
std::int32_t show_warning(std::int32_t dialog_id, CPWindow* parent, std::string_view text0 = {},
                          std::string_view text1 = {});
// The same for a warning a store command returned, its text already filled in.
std::int32_t show_warning(const HyWarning& warning);
