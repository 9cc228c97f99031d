// Views of the effect's dialogs: bitmap buttons, pop-up menus and sliders placed in a window from a
// layout text. A view draws through its look object, tracks the pointer while its button is down, and
// broadcasts what happened (clicked, item chosen, menu about to open) to its listeners; its window is
// one of them and hands the notification to the dialog's handler.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/HyGraphics.h"
#include "platform/HyWindowSystem.h"
#include "ui/CBroadcaster.h"
#include "ui/CString.h"

class CTokener;
class CViewLook;
struct CResourceModule;

// An event as the window hands it to its views.
struct CEvent {
    enum : std::int32_t { kDraw = 1, kPointerDown = 8, kPointerMove = 10, kPointerUp = 12 };
    std::int32_t kind = kDraw;
    int x = 0, y = 0;        // pointer, window coordinates
    bool modifier = false;   // a modifier key was held
    hyplat::HyGraphics* gc = nullptr; // kDraw
};

class CView : public CListener, public CBroadcaster {
public:
    enum : std::uint32_t {
        kStateInert = 1,
        kStateDisabled = 2,
        kStatePointerOver = 4,
        kStateTracking = 8,
        kStateInsideWhileTracking = 32,
    };

    CView(std::int32_t id, const hyplat::HyRect& rect);
    ~CView() override;
    void Listen(const CNotification&) override {}
    virtual void RedrawNow();
    virtual void StateChanged(std::uint32_t old_bits, std::uint32_t new_bits, bool redraw);
    virtual std::string GetText() const;
    virtual void SetText(std::string_view text, bool redraw);
    virtual float GetValue() const { return m_value; }
    virtual void SetValue(float value) { m_value = value; }
    virtual void Invalidate();
    virtual void HandleEvent(const CEvent& e);
    virtual void DispatchPointer(const CEvent& e);
    virtual void PointerMoved(const CEvent& e);
    virtual void Track(const CEvent& e);
    virtual void PointerReleased(const CEvent&) {}
    virtual void KeyDown(std::int32_t) {}
    virtual void BeginTrack(int, int) {}
    virtual std::int32_t EndTrack(bool) { return 0; }
    virtual std::int32_t Moved(int, int) { return 0; }
    virtual std::int32_t Idle() { return 0; }
    virtual void TimerTick() {}
    virtual void ReadLayout(CTokener& layout);
    virtual std::int32_t AuxValue() const { return m_aux; }

    std::int32_t Id() const { return m_id; }
    const hyplat::HyRect& Rect() const { return m_rect; }
    void SetRect(const hyplat::HyRect& r) { m_rect = r; }
    std::uint32_t State() const { return m_state; }
    void SetState(std::uint32_t bits, bool redraw = true);
    void SetWindow(CPWindow* w) { m_window = w; }
    CPWindow* Window() const { return m_window; }
    void SetModule(const CResourceModule* m) { m_module = m; }
    const CResourceModule* Module() const { return m_module; }
    void SetLook(std::unique_ptr<CViewLook> look);
    void SetAux(std::int32_t aux) { m_aux = aux; }

    // Sends a notification with `code` to the listeners (the window among them).
    void Notify(std::int32_t code);

protected:
    hyplat::HyRect m_rect;
    CPWindow* m_window = nullptr;
    std::int32_t m_id = 0;
    std::uint32_t m_state = 0;
    float m_value = 0.0f;
    std::unique_ptr<CDynamicString> m_text;
    std::unique_ptr<CViewLook> m_look;
    const CResourceModule* m_module = nullptr;
    std::int32_t m_aux = -1;
};

class CViewButton : public CView {
public:
    CViewButton(std::int32_t id, const hyplat::HyRect& rect);
    void StateChanged(std::uint32_t old_bits, std::uint32_t new_bits, bool redraw) override;
    void BeginTrack(int x, int y) override;
    std::int32_t EndTrack(bool inside) override;
    std::int32_t Moved(int x, int y) override;
    void ReadLayout(CTokener& layout) override;

    // Bitmap ids of the looks: normal, pressed, down, second down, disabled (0: none).
    std::int32_t m_bmpNormal = 0, m_bmpPressed = 0, m_bmpDown = 0, m_bmpDown2 = 0, m_bmpDisabled = 0;
};

class CViewPopMenu : public CView {
public:
    CViewPopMenu(std::int32_t id, const hyplat::HyRect& rect);
    void Track(const CEvent& e) override;

    void ClearItems() { m_items.clear(); }
    // Adds an item under `parent` (0 for top level); returns its number, counted from 1.
    int AddItem(std::string_view text, int parent = 0);
    int ItemCount() const { return int(m_items.size()); }
    std::string ItemText(int number) const;
    int ItemParent(int number) const;
    const std::vector<hyplat::HyMenuItem>& Items() const { return m_items; }

private:
    std::vector<hyplat::HyMenuItem> m_items;
};

class CViewSlider : public CView {
public:
    CViewSlider(std::int32_t id, const hyplat::HyRect& rect);
    float GetValue() const override;
    void SetValue(float value) override;
    std::int32_t Moved(int x, int y) override;
    void ReadLayout(CTokener& layout) override;

    float Minimum() const { return m_min; }
    float Maximum() const { return m_max; }

private:
    float m_min = 0.0f, m_max = 1.0f;
};

// Looks: how a view draws.
class CViewLook {
public:
    virtual ~CViewLook() = default;
    virtual void Draw(const CView& view, hyplat::HyGraphics& gc) const;
};
class CLookButton : public CViewLook {
public:
    void Draw(const CView& view, hyplat::HyGraphics& gc) const override;
};
class CPLookPopMenu : public CViewLook {
public:
    void Draw(const CView& view, hyplat::HyGraphics& gc) const override;
};
class CLookSlider : public CViewLook {
public:
    void Draw(const CView& view, hyplat::HyGraphics& gc) const override;
};
