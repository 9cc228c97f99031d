#include "ui/CPWindow.h"

#include <algorithm>

#include "platform/HyWindowSystem.h"
#include "ui/CTokener.h"
#include "ui/HyPresetStore.h"

using hyplat::HyColour;
using hyplat::HyRect;

namespace {

constexpr HyColour kWindowFill{43, 58, 74};
constexpr HyColour kEditFill{255, 255, 255};
constexpr HyColour kEditEdge{70, 84, 98};
constexpr HyColour kInk{0, 0, 0};

HyRect unite(const HyRect& a, const HyRect& b)
{
    if (a.empty())
        return b;
    if (b.empty())
        return a;
    return HyRect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

} // namespace

CPWindow::CPWindow(std::int32_t dialog_id, CWindowHandler handler, const CResourceModule& module)
    : m_module(module), m_handler(std::move(handler))
{
    int width = 100, height = 100;
    if (const CDialogTemplate* t = module.Dialog(dialog_id)) {
        m_title = t->title;
        width = t->width;
        height = t->height;
        for (std::int32_t id : t->edits)
            m_controls.push_back(Control{id, HyRect{0, 0, 100, 20}, {}});
    }
    m_picture = hyplat::HyBitmap(width, height);
    m_dirty = HyRect{0, 0, width, height};
}

CPWindow::~CPWindow()
{
    hyplat::window_system().stop_timer(this, kTimerId);
    m_views.clear();
}

void CPWindow::Listen(const CNotification& message) { Send(message); }

bool CPWindow::Send(const CNotification& message)
{
    CNotification m = message;
    m.window = this;
    return m_handler && m_handler(*this, m);
}

CView* CPWindow::AddView(std::unique_ptr<CView> view)
{
    view->SetWindow(this);
    ListenTo(*view);
    m_views.push_back(std::move(view));
    InvalidateRect(m_views.back()->Rect());
    return m_views.back().get();
}

CView* CPWindow::FindView(std::int32_t id) const
{
    for (const auto& v : m_views)
        if (v->Id() == id)
            return v.get();
    return nullptr;
}

bool CPWindow::GetControlRect(std::int32_t id, HyRect& out) const
{
    for (const Control& c : m_controls)
        if (c.id == id) {
            out = c.rect;
            return true;
        }
    return false;
}

bool CPWindow::SetControlRect(std::int32_t id, const HyRect& r)
{
    for (Control& c : m_controls)
        if (c.id == id) {
            InvalidateRect(c.rect);
            c.rect = r;
            InvalidateRect(r);
            return true;
        }
    return false;
}

std::string CPWindow::GetControlText(std::int32_t id) const
{
    for (const Control& c : m_controls)
        if (c.id == id)
            return c.text;
    return {};
}

void CPWindow::SetControlText(std::int32_t id, std::string_view text)
{
    for (Control& c : m_controls)
        if (c.id == id) {
            c.text = std::string(text);
            InvalidateRect(c.rect);
        }
}

void CPWindow::Resize(int width, int height)
{
    // A layout text may ask for anything; a dialog larger than any screen is cut to one.
    width = std::clamp(width, 1, kMaxSide);
    height = std::clamp(height, 1, kMaxSide);
    m_picture = hyplat::HyBitmap(width, height);
    m_dirty = HyRect{0, 0, width, height};
}

void CPWindow::InvalidateRect(const HyRect& r) { m_dirty = unite(m_dirty, r); }

void CPWindow::RedrawRect(const HyRect& r) { Paint(r); }

const hyplat::HyBitmap& CPWindow::Picture()
{
    if (!m_dirty.empty())
        Paint(m_dirty);
    m_dirty = HyRect{};
    return m_picture;
}

void CPWindow::Paint(const HyRect& r)
{
    hyplat::HyGraphics gc(m_picture);
    gc.set_clip(r);
    gc.fill(r, kWindowFill);
    CEvent draw;
    draw.kind = CEvent::kDraw;
    draw.gc = &gc;
    for (const auto& v : m_views)
        if (!v->Rect().intersect(r).empty())
            v->HandleEvent(draw);
    // Native edit fields sit above the views; their text is clipped to the field.
    for (const Control& c : m_controls) {
        gc.set_clip(r.intersect(c.rect));
        gc.fill(c.rect, kEditFill);
        gc.frame(c.rect, kEditEdge);
        gc.text(c.rect.left + 4, c.rect.top + (c.rect.height() - hyplat::kTextLineHeight) / 2 + 1, c.text, kInk);
    }
}

std::int32_t CPWindow::RunModal()
{
    hyplat::HyWindowSystem& ws = hyplat::window_system();
    m_running = true;
    m_result = 0;
    ws.start_timer(this, kTimerId);
    CNotification init;
    init.kind = kMsgInit;
    Send(init);
    hyplat::HyInput input;
    while (m_running && ws.next(input)) {
        Deliver(input);
        if (m_running && ws.timer_running(this, kTimerId)) {
            CNotification tick;
            tick.kind = kMsgTimer;
            tick.extra = kTimerId;
            Send(tick);
        }
    }
    m_running = false;
    ws.stop_timer(this, kTimerId);
    Picture();
    return m_result;
}

void CPWindow::EndModal(std::int32_t result)
{
    m_result = result;
    m_running = false;
}

void CPWindow::Deliver(const hyplat::HyInput& input)
{
    CNotification m;
    switch (input.kind) {
    case hyplat::HyInput::Click: {
        // A click is a press and a release at one point: the pointer is up again when tracking polls it.
        hyplat::window_system().set_pointer(input.x, input.y, false);
        CEvent e;
        e.kind = CEvent::kPointerDown;
        e.x = input.x;
        e.y = input.y;
        // Later views lie on top; the first enabled one under the pointer takes the click.
        for (auto it = m_views.rbegin(); it != m_views.rend(); ++it) {
            CView& v = **it;
            if (!(v.State() & (CView::kStateDisabled | CView::kStateInert)) && v.Rect().contains(input.x, input.y)) {
                v.HandleEvent(e);
                break;
            }
        }
        break;
    }
    case hyplat::HyInput::Press:
        if (const CView* v = FindView(input.id)) {
            hyplat::HyInput click = input;
            click.kind = hyplat::HyInput::Click;
            click.x = (v->Rect().left + v->Rect().right) / 2;
            click.y = (v->Rect().top + v->Rect().bottom) / 2;
            Deliver(click);
        }
        break;
    case hyplat::HyInput::Type:
        SetControlText(input.id, input.text);
        break;
    case hyplat::HyInput::Key:
        m.kind = kMsgKey;
        m.extra = input.id;
        Send(m);
        break;
    case hyplat::HyInput::Close:
        m.kind = kMsgClose;
        if (!Send(m))
            EndModal(0);
        break;
    default:
        break; // a menu choice or an answer with nothing open to take it
    }
}

// ---- Layouts ------------------------------------------------------------------------------------

int load_layout(CPWindow& window, std::int32_t text_id, const CResourceModule& module)
{
    const char* text = module.LayoutText(text_id);
    return text ? load_layout_text(window, text, module) : 0;
}

int load_layout_text(CPWindow& window, std::string_view text, const CResourceModule& module)
{
    CTokener t{std::string(text)};
    int created = 0;
    std::size_t from = 0;
    for (;;) {
        t.SetWindow(std::ptrdiff_t(from), -1);
        std::int32_t id = 0;
        const std::size_t id_pos = t.FindValue("id");
        if (id_pos == std::string::npos || !t.GetInt("id", id))
            break;
        const std::size_t open = t.GetText().find('[', id_pos);
        if (open == std::string::npos)
            break;
        std::size_t close = t.GetText().find(']', open);
        if (close == std::string::npos)
            close = t.GetText().size();
        // Keys are looked for inside the block only.
        t.SetWindow(std::ptrdiff_t(open + 1), std::ptrdiff_t(close));
        std::string cls;
        t.GetString("class", cls);
        HyRect r{0, 0, 20, 12};
        std::int32_t from_id = 0;
        if (t.GetInt("getpositionfrom", from_id)) {
            window.GetControlRect(from_id, r);
        } else {
            std::int32_t left = 0, top = 0, width = 20, height = 12;
            t.GetInt("left", left);
            t.GetInt("top", top);
            t.GetInt("width", width);
            t.GetInt("height", height);
            r = HyRect{left, top, left + width, top + height};
        }
        std::unique_ptr<CView> view;
        if (cls == "CViewPopMenu")
            view = std::make_unique<CViewPopMenu>(id, r);
        else if (cls == "CViewSlider")
            view = std::make_unique<CViewSlider>(id, r);
        else if (cls == "CViewButton")
            view = std::make_unique<CViewButton>(id, r);
        else if (cls == "OSEdit")
            window.SetControlRect(id, r);
        if (view) {
            CView* v = window.AddView(std::move(view));
            v->SetModule(&module);
            v->ReadLayout(t);
            ++created;
        }
        from = close + 1;
        if (from >= t.GetText().size())
            break;
    }
    t.ResetWindow();
    std::int32_t w = 0, h = 0;
    t.GetInt("WindowWidth", w);
    t.GetInt("WindowHeight", h);
    if (w >= 1 || h >= 1)
        window.Resize(w >= 1 ? w : window.Width(), h >= 1 ? h : window.Height());
    return created;
}

std::int32_t show_warning(const HyWarning& warning)
{
    int count = 0;
    const HyWarningButton* buttons = WarningButtons(warning.id, &count);
    std::vector<int> ids;
    for (int i = 0; i < count; ++i)
        ids.push_back(buttons[i].id);
    return hyplat::window_system().warning(warning.id, warning.text, ids);
}

std::int32_t show_warning(std::int32_t dialog_id, CPWindow*, std::string_view text0, std::string_view text1)
{
    return show_warning(MakeWarning(dialog_id, text0, text1));
}
