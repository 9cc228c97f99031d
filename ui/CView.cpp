#include "ui/CView.h"

#include <algorithm>

#include "ui/CPWindow.h"
#include "ui/CTokener.h"

using hyplat::HyColour;
using hyplat::HyGraphics;
using hyplat::HyRect;

namespace {

constexpr HyColour kInk{0, 0, 0};
constexpr HyColour kField{250, 250, 246};
constexpr HyColour kFieldEdge{70, 84, 98};
constexpr HyColour kDisabledInk{140, 140, 140};

std::int32_t read_int(CTokener& t, std::string_view key, std::int32_t fallback)
{
    std::int32_t v = fallback;
    t.GetInt(key, v);
    return v;
}

} // namespace

// ---- CView --------------------------------------------------------------------------------------

CView::CView(std::int32_t id, const HyRect& rect) : m_rect(rect), m_id(id), m_look(std::make_unique<CViewLook>()) {}

CView::~CView() = default;

void CView::RedrawNow()
{
    if (m_window)
        m_window->RedrawRect(m_rect);
}

void CView::StateChanged(std::uint32_t, std::uint32_t, bool) {}

std::string CView::GetText() const { return m_text ? std::string(m_text->View()) : std::string("Error - Base View"); }

void CView::SetText(std::string_view text, bool redraw)
{
    if (m_text && m_text->View() == text)
        return;
    if (!m_text)
        m_text = std::make_unique<CDynamicString>();
    m_text->Assign(text);
    if (redraw)
        RedrawNow();
}

void CView::Invalidate()
{
    if (m_window)
        m_window->InvalidateRect(m_rect);
}

void CView::SetState(std::uint32_t bits, bool redraw)
{
    const std::uint32_t old = m_state;
    m_state = bits;
    if (old != bits)
        StateChanged(old, bits, redraw);
}

void CView::SetLook(std::unique_ptr<CViewLook> look) { m_look = std::move(look); }

void CView::HandleEvent(const CEvent& e)
{
    if (m_state & kStateInert)
        return;
    if (e.kind == CEvent::kDraw) {
        if (!e.gc || !m_look)
            return;
        const HyRect saved = e.gc->clip();
        e.gc->set_clip(saved.intersect(m_rect));
        m_look->Draw(*this, *e.gc);
        e.gc->set_clip(saved);
        return;
    }
    DispatchPointer(e);
}

void CView::DispatchPointer(const CEvent& e)
{
    if ((m_state & kStateDisabled) || !m_rect.contains(e.x, e.y))
        return;
    switch (e.kind) {
    case CEvent::kPointerDown: Track(e); break;
    case CEvent::kPointerMove: PointerMoved(e); break;
    case CEvent::kPointerUp: PointerReleased(e); break;
    default: break;
    }
}

void CView::PointerMoved(const CEvent& e)
{
    if (m_rect.contains(e.x, e.y))
        SetState(m_state | kStatePointerOver);
}

void CView::Track(const CEvent& e)
{
    hyplat::HyWindowSystem& ws = hyplat::window_system();
    SetState(m_state | kStateInsideWhileTracking | kStateTracking);
    BeginTrack(e.x, e.y);
    int x = e.x, y = e.y;
    while (ws.button_down()) {
        const int nx = ws.pointer_x(), ny = ws.pointer_y();
        const bool inside = m_rect.contains(nx, ny);
        SetState(inside ? (m_state | kStateInsideWhileTracking) : (m_state & ~std::uint32_t(kStateInsideWhileTracking)));
        const std::int32_t stop = (nx != x || ny != y) ? Moved(nx, ny) : Idle();
        x = nx;
        y = ny;
        ws.milliseconds();
        if (stop)
            break;
    }
    const bool inside = m_rect.contains(ws.pointer_x(), ws.pointer_y());
    SetState(m_state & ~std::uint32_t(kStateInsideWhileTracking | kStateTracking));
    if (const std::int32_t code = EndTrack(inside))
        Notify(code);
}

void CView::ReadLayout(CTokener& layout)
{
    std::string text;
    if (layout.GetString("text", text))
        SetText(text, false);
    if (read_int(layout, "disabled", 0) != 0)
        m_state |= kStateDisabled;
}

void CView::Notify(std::int32_t code)
{
    CNotification n;
    n.kind = kMsgNotification;
    n.window = m_window;
    n.code = code;
    n.id = m_id;
    n.view = this;
    n.value = GetValue();
    Broadcast(n);
}

// ---- CViewButton --------------------------------------------------------------------------------

CViewButton::CViewButton(std::int32_t id, const HyRect& rect) : CView(id, rect) { SetLook(std::make_unique<CLookButton>()); }

void CViewButton::StateChanged(std::uint32_t, std::uint32_t, bool redraw)
{
    if (redraw)
        RedrawNow();
}

void CViewButton::BeginTrack(int, int) { RedrawNow(); }

std::int32_t CViewButton::Moved(int, int)
{
    RedrawNow();
    return 0;
}

std::int32_t CViewButton::EndTrack(bool inside) { return inside ? kNoteClicked : 0; }

void CViewButton::ReadLayout(CTokener& layout)
{
    CView::ReadLayout(layout);
    m_bmpNormal = read_int(layout, "bmp_id_norm", m_bmpNormal);
    m_bmpPressed = read_int(layout, "bmp_id_pre", m_bmpPressed);
    m_bmpDown = read_int(layout, "bmp_id_down", m_bmpDown);
    m_bmpDown2 = read_int(layout, "bmp_id_down2", m_bmpNormal);
    m_bmpDisabled = read_int(layout, "bmp_id_dis", m_bmpDisabled);
    if (read_int(layout, "autosize", 0) == 1 && m_module)
        if (const hyplat::HyBitmap* b = m_module->Bitmap(m_bmpNormal))
            m_rect = HyRect{m_rect.left, m_rect.top, m_rect.left + b->width(), m_rect.top + b->height()};
}

// ---- CViewPopMenu -------------------------------------------------------------------------------

CViewPopMenu::CViewPopMenu(std::int32_t id, const HyRect& rect) : CView(id, rect)
{
    SetLook(std::make_unique<CPLookPopMenu>());
}

int CViewPopMenu::AddItem(std::string_view text, int parent)
{
    m_items.push_back(hyplat::HyMenuItem{std::string(text), parent});
    return int(m_items.size());
}

std::string CViewPopMenu::ItemText(int number) const
{
    return number >= 1 && number <= ItemCount() ? m_items[std::size_t(number) - 1].text : std::string();
}

int CViewPopMenu::ItemParent(int number) const
{
    return number >= 1 && number <= ItemCount() ? m_items[std::size_t(number) - 1].parent : 0;
}

void CViewPopMenu::Track(const CEvent& e)
{
    if (e.modifier)
        return;
    // The owner refills the menu from disk before it opens.
    Notify(kNoteAboutToOpen);
    const int chosen = hyplat::window_system().popup_menu(m_items, m_rect.left, m_rect.bottom);
    if (chosen <= 0 || chosen == int(GetValue()))
        return;
    SetValue(float(chosen));
    Notify(kNoteItemChosen);
}

// ---- CViewSlider --------------------------------------------------------------------------------

CViewSlider::CViewSlider(std::int32_t id, const HyRect& rect) : CView(id, rect)
{
    SetLook(std::make_unique<CLookSlider>());
}

float CViewSlider::GetValue() const { return m_value; }

void CViewSlider::SetValue(float value) { m_value = std::clamp(value, std::min(m_min, m_max), std::max(m_min, m_max)); }

std::int32_t CViewSlider::Moved(int x, int)
{
    const int span = std::max(1, m_rect.width() - 1);
    SetValue(m_min + (m_max - m_min) * float(x - m_rect.left) / float(span));
    RedrawNow();
    return 0;
}

void CViewSlider::ReadLayout(CTokener& layout)
{
    CView::ReadLayout(layout);
    double v = m_min;
    if (layout.GetReal("min", v))
        m_min = float(v);
    v = m_max;
    if (layout.GetReal("max", v))
        m_max = float(v);
    v = m_value;
    if (layout.GetReal("value", v))
        SetValue(float(v));
}

// ---- Looks --------------------------------------------------------------------------------------

void CViewLook::Draw(const CView& view, HyGraphics& gc) const
{
    gc.frame(view.Rect(), kFieldEdge);
}

void CLookButton::Draw(const CView& view, HyGraphics& gc) const
{
    const auto* b = dynamic_cast<const CViewButton*>(&view);
    const CResourceModule* module = view.Module();
    if (!b || !module)
        return;
    const std::uint32_t s = view.State();
    std::int32_t id = b->m_bmpNormal;
    if ((s & CView::kStateDisabled) && b->m_bmpDisabled)
        id = b->m_bmpDisabled;
    else if ((s & CView::kStateTracking) && (s & CView::kStateInsideWhileTracking) && b->m_bmpPressed)
        id = b->m_bmpPressed;
    else if (view.GetValue() >= 2.0f && b->m_bmpDown2)
        id = b->m_bmpDown2;
    else if (view.GetValue() >= 1.0f && b->m_bmpDown)
        id = b->m_bmpDown;
    if (const hyplat::HyBitmap* bmp = module->Bitmap(id))
        gc.bitmap(view.Rect().left, view.Rect().top, *bmp);
}

void CPLookPopMenu::Draw(const CView& view, HyGraphics& gc) const
{
    const HyRect r = view.Rect();
    gc.fill(r, kField);
    gc.frame(r, kFieldEdge);
    const HyColour ink = (view.State() & CView::kStateDisabled) ? kDisabledInk : kInk;
    // The text stays clear of the arrow.
    const HyRect saved = gc.clip();
    gc.set_clip(saved.intersect(HyRect{r.left, r.top, r.right - 14, r.bottom}));
    gc.text(r.left + 4, r.top + (r.height() - hyplat::kTextLineHeight) / 2 + 1, view.GetText(), ink);
    gc.set_clip(saved);
    const int ax = r.right - 10, ay = r.top + r.height() / 2 - 1;
    for (int k = 0; k < 4; ++k)
        gc.line(ax - 3 + k, ay + k, ax + 3 - k, ay + k, ink);
}

void CLookSlider::Draw(const CView& view, HyGraphics& gc) const
{
    const auto* s = dynamic_cast<const CViewSlider*>(&view);
    if (!s)
        return;
    const HyRect r = view.Rect();
    const int mid = r.top + r.height() / 2;
    gc.line(r.left, mid, r.right - 1, mid, kFieldEdge);
    const float span = s->Maximum() - s->Minimum();
    const float t = span != 0.0f ? (s->GetValue() - s->Minimum()) / span : 0.0f;
    const int x = r.left + int(t * float(r.width() - 1) + 0.5f);
    gc.fill(HyRect{x - 2, r.top, x + 3, r.bottom}, kInk);
}
