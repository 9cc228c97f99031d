#include "hostkit/Drawing.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

namespace hostkit {
namespace {

constexpr std::uint32_t kRecorderMagic = 0x44524543; // 'DREC'
constexpr SPErr kBadRef = kSPSuiteNotFoundError;

enum class ObjectKind { pen, brush, font, image, path };

const char* kind_name(ObjectKind k)
{
    switch (k) {
    case ObjectKind::pen: return "pen";
    case ObjectKind::brush: return "brush";
    case ObjectKind::font: return "font";
    case ObjectKind::image: return "image";
    case ObjectKind::path: return "path";
    }
    return "object";
}

struct DrawObject {
    ObjectKind kind = ObjectKind::path;
    DrawRecorder* owner = nullptr;
    int refs = 1;
    DRAWBOT_ColorRGBA color{};
    float size = 0;
    int width = 0, height = 0;
    std::shared_ptr<const std::vector<std::uint32_t>> pixels; // images
    int segments = 0;
    std::vector<DRAWBOT_PointF32> points; // every point a path passes through, for its bounds
};

// Every live recorder and object, so a reference is looked up before it is ever dereferenced.
std::mutex g_draw_mutex;
std::unordered_set<const DrawRecorder*> g_recorders;
std::unordered_map<const void*, std::unique_ptr<DrawObject>> g_objects;

std::string utf8(const DRAWBOT_UTF16Char* s)
{
    std::string out;
    for (; s && *s; ++s) {
        std::uint32_t c = *s;
        if (c >= 0xD800 && c <= 0xDBFF && s[1] >= 0xDC00 && s[1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (std::uint32_t(s[1]) - 0xDC00);
            ++s;
        }
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

DRAWBOT_RectF32 bounds(const std::vector<DRAWBOT_PointF32>& pts)
{
    if (pts.empty())
        return {};
    float l = pts[0].x, t = pts[0].y, r = l, b = t;
    for (const auto& p : pts) {
        l = std::min(l, p.x);
        r = std::max(r, p.x);
        t = std::min(t, p.y);
        b = std::max(b, p.y);
    }
    return DRAWBOT_RectF32{l, t, r - l, b - t};
}

} // namespace

namespace {

// The image's pixels as 0xAARRGGBB words, so a recorded picture can be drawn after the plug-in freed
// its buffer. The 24-bit layouts are opaque; the 32-bit RGB ones ignore their pad byte.
std::shared_ptr<const std::vector<std::uint32_t>> copy_pixels(int w, int h, int row_bytes, DRAWBOT_PixelLayout layout,
                                                              const std::uint8_t* data)
{
    auto out = std::make_shared<std::vector<std::uint32_t>>(std::size_t(w) * std::size_t(h));
    const int bytes = layout <= kDRAWBOT_PixelLayout_24BGR ? 3 : 4;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint8_t* p = data + std::size_t(y) * std::size_t(row_bytes) + std::size_t(x) * std::size_t(bytes);
            std::uint32_t a = 255, r = p[0], g = p[1], b = p[2];
            switch (layout) {
            case kDRAWBOT_PixelLayout_24BGR: r = p[2]; b = p[0]; break;
            case kDRAWBOT_PixelLayout_32RGB: r = p[1]; g = p[2]; b = p[3]; break;
            case kDRAWBOT_PixelLayout_32BGR: r = p[2]; b = p[0]; break;
            case kDRAWBOT_PixelLayout_32ARGB_Straight:
            case kDRAWBOT_PixelLayout_32ARGB_Premul: a = p[0]; r = p[1]; g = p[2]; b = p[3]; break;
            case kDRAWBOT_PixelLayout_32BGRA_Straight:
            case kDRAWBOT_PixelLayout_32BGRA_Premul: b = p[0]; g = p[1]; r = p[2]; a = p[3]; break;
            default: break;
            }
            (*out)[std::size_t(y) * std::size_t(w) + std::size_t(x)] = a << 24 | r << 16 | g << 8 | b;
        }
    return out;
}

} // namespace

struct DrawRecorder::Impl {
    static DrawRecorder* recorder(const void* ref)
    {
        std::lock_guard<std::mutex> lock(g_draw_mutex);
        const auto* r = static_cast<const DrawRecorder*>(ref);
        return g_recorders.count(r) ? const_cast<DrawRecorder*>(r) : nullptr;
    }

    // The object behind `ref` when it is live and of `kind`; otherwise notes misuse on `context`.
    static DrawObject* object(const void* ref, ObjectKind kind, const char* callback)
    {
        DrawObject* o = nullptr;
        {
            std::lock_guard<std::mutex> lock(g_draw_mutex);
            const auto it = g_objects.find(ref);
            if (it != g_objects.end())
                o = it->second.get();
        }
        if (o && o->kind == kind)
            return o;
        if (o)
            o->owner->notes_.push_back(std::string(callback) + ": a " + kind_name(o->kind) + " where a " +
                                       kind_name(kind) + " belongs");
        return nullptr;
    }

    static SPErr make(const void* supplier, ObjectKind kind, DRAWBOT_ObjectRef* out, DrawObject** made)
    {
        DrawRecorder* r = recorder(supplier);
        if (!r || !out)
            return kBadRef;
        auto o = std::make_unique<DrawObject>();
        o->kind = kind;
        o->owner = r;
        *made = o.get();
        *out = reinterpret_cast<DRAWBOT_ObjectRef>(o.get());
        std::lock_guard<std::mutex> lock(g_draw_mutex);
        g_objects.emplace(o.get(), std::move(o));
        return kSPNoError;
    }

    // ---- Draw suite ----
    static SPErr get_supplier(DRAWBOT_DrawRef ref, DRAWBOT_SupplierRef* out)
    {
        if (!recorder(ref) || !out)
            return kBadRef;
        *out = reinterpret_cast<DRAWBOT_SupplierRef>(ref);
        return kSPNoError;
    }
    static SPErr get_surface(DRAWBOT_DrawRef ref, DRAWBOT_SurfaceRef* out) { return get_supplier(ref, out); }

    // ---- Supplier suite ----
    static SPErr new_pen(DRAWBOT_SupplierRef s, const DRAWBOT_ColorRGBA* color, float size, DRAWBOT_PenRef* out)
    {
        DrawObject* o = nullptr;
        const SPErr e = make(s, ObjectKind::pen, out, &o);
        if (e == kSPNoError) {
            o->color = color ? *color : DRAWBOT_ColorRGBA{};
            o->size = size;
        }
        return e;
    }
    static SPErr new_brush(DRAWBOT_SupplierRef s, const DRAWBOT_ColorRGBA* color, DRAWBOT_BrushRef* out)
    {
        DrawObject* o = nullptr;
        const SPErr e = make(s, ObjectKind::brush, out, &o);
        if (e == kSPNoError)
            o->color = color ? *color : DRAWBOT_ColorRGBA{};
        return e;
    }
    static SPErr supports_text(DRAWBOT_SupplierRef s, DRAWBOT_Boolean* out)
    {
        if (!recorder(s) || !out)
            return kBadRef;
        *out = 1;
        return kSPNoError;
    }
    static SPErr default_font_size(DRAWBOT_SupplierRef s, float* out)
    {
        if (!recorder(s) || !out)
            return kBadRef;
        *out = 11.0f;
        return kSPNoError;
    }
    static SPErr new_font(DRAWBOT_SupplierRef s, float size, DRAWBOT_FontRef* out)
    {
        DrawObject* o = nullptr;
        const SPErr e = make(s, ObjectKind::font, out, &o);
        if (e == kSPNoError)
            o->size = size;
        return e;
    }
    static SPErr new_image(DRAWBOT_SupplierRef s, int w, int h, int row_bytes, DRAWBOT_PixelLayout layout, const void* data,
                           DRAWBOT_ImageRef* out)
    {
        DrawRecorder* r = recorder(s);
        if (r && (w <= 0 || h <= 0 || !data || row_bytes < w * 3)) {
            r->notes_.push_back("NewImageFromBuffer: bad size, row bytes or pixels");
            return kBadRef;
        }
        DrawObject* o = nullptr;
        const SPErr e = make(s, ObjectKind::image, out, &o);
        if (e == kSPNoError) {
            o->width = w;
            o->height = h;
            o->pixels = copy_pixels(w, h, row_bytes, layout, static_cast<const std::uint8_t*>(data));
        }
        return e;
    }
    static SPErr new_path(DRAWBOT_SupplierRef s, DRAWBOT_PathRef* out)
    {
        DrawObject* o = nullptr;
        return make(s, ObjectKind::path, out, &o);
    }
    static SPErr layout_answer(DRAWBOT_SupplierRef s, DRAWBOT_Boolean* out)
    {
        if (!recorder(s) || !out)
            return kBadRef;
        *out = 1;
        return kSPNoError;
    }
    static SPErr retain(DRAWBOT_ObjectRef ref)
    {
        std::lock_guard<std::mutex> lock(g_draw_mutex);
        const auto it = g_objects.find(ref);
        if (it == g_objects.end())
            return kBadRef;
        ++it->second->refs;
        return kSPNoError;
    }
    static SPErr release(DRAWBOT_ObjectRef ref)
    {
        std::lock_guard<std::mutex> lock(g_draw_mutex);
        const auto it = g_objects.find(ref);
        if (it == g_objects.end())
            return kBadRef; // unknown or released: nothing to blame it on but the return code
        if (--it->second->refs == 0)
            g_objects.erase(it);
        return kSPNoError;
    }

    // ---- Surface suite ----
    static SPErr push(DRAWBOT_SurfaceRef s)
    {
        DrawRecorder* r = recorder(s);
        if (!r)
            return kBadRef;
        ++r->depth_;
        return kSPNoError;
    }
    static SPErr pop(DRAWBOT_SurfaceRef s)
    {
        DrawRecorder* r = recorder(s);
        if (!r)
            return kBadRef;
        if (r->depth_ == 0) {
            r->notes_.push_back("PopStateStack: nothing pushed");
            return kBadRef;
        }
        --r->depth_;
        return kSPNoError;
    }
    static SPErr paint_rect(DRAWBOT_SurfaceRef s, const DRAWBOT_ColorRGBA* color, const DRAWBOT_RectF32* rect)
    {
        DrawRecorder* r = recorder(s);
        if (!r || !color || !rect)
            return kBadRef;
        DrawOp op;
        op.kind = DrawOp::paint_rect;
        op.color = *color;
        op.rect = *rect;
        r->ops_.push_back(op);
        return kSPNoError;
    }
    static SPErr path_op(DRAWBOT_SurfaceRef s, DRAWBOT_ObjectRef tool, ObjectKind tool_kind, DRAWBOT_PathRef path,
                         DrawOp::Kind kind, const char* callback)
    {
        DrawRecorder* r = recorder(s);
        if (!r)
            return kBadRef;
        const DrawObject* t = object(tool, tool_kind, callback);
        const DrawObject* p = object(path, ObjectKind::path, callback);
        if (!t || !p) {
            r->notes_.push_back(std::string(callback) + ": unknown or released " + (t ? "path" : kind_name(tool_kind)));
            return kBadRef;
        }
        DrawOp op;
        op.kind = kind;
        op.color = t->color;
        op.pen_size = tool_kind == ObjectKind::pen ? t->size : 0;
        op.rect = bounds(p->points);
        op.segments = p->segments;
        r->ops_.push_back(op);
        return kSPNoError;
    }
    static SPErr fill_path(DRAWBOT_SurfaceRef s, DRAWBOT_BrushRef b, DRAWBOT_PathRef p, DRAWBOT_FillType)
    {
        return path_op(s, b, ObjectKind::brush, p, DrawOp::fill_path, "FillPath");
    }
    static SPErr stroke_path(DRAWBOT_SurfaceRef s, DRAWBOT_PenRef pen, DRAWBOT_PathRef p)
    {
        return path_op(s, pen, ObjectKind::pen, p, DrawOp::stroke_path, "StrokePath");
    }
    static SPErr clip(DRAWBOT_SurfaceRef s, DRAWBOT_SupplierRef, const DRAWBOT_Rect32* rect)
    {
        DrawRecorder* r = recorder(s);
        if (!r || !rect)
            return kBadRef;
        DrawOp op;
        op.kind = DrawOp::clip;
        op.rect = DRAWBOT_RectF32{float(rect->left), float(rect->top), float(rect->width), float(rect->height)};
        r->ops_.push_back(op);
        return kSPNoError;
    }
    static SPErr clip_bounds(DRAWBOT_SurfaceRef s, DRAWBOT_Rect32* out)
    {
        if (!recorder(s) || !out)
            return kBadRef;
        *out = DRAWBOT_Rect32{0, 0, 4096, 4096};
        return kSPNoError;
    }
    static SPErr within_clip(DRAWBOT_SurfaceRef s, const DRAWBOT_Rect32*, DRAWBOT_Boolean* out)
    {
        if (!recorder(s) || !out)
            return kBadRef;
        *out = 1;
        return kSPNoError;
    }
    static SPErr transform(DRAWBOT_SurfaceRef s, const DRAWBOT_MatrixF32* m)
    {
        DrawRecorder* r = recorder(s);
        if (!r || !m)
            return kBadRef;
        DrawOp op;
        op.kind = DrawOp::transform;
        op.origin = DRAWBOT_PointF32{m->mat[2][0], m->mat[2][1]};
        r->ops_.push_back(op);
        return kSPNoError;
    }
    static SPErr draw_string(DRAWBOT_SurfaceRef s, DRAWBOT_BrushRef b, DRAWBOT_FontRef f, const DRAWBOT_UTF16Char* text,
                             const DRAWBOT_PointF32* origin, DRAWBOT_TextAlignment align, DRAWBOT_TextTruncation truncation,
                             float truncation_width)
    {
        DrawRecorder* r = recorder(s);
        if (!r)
            return kBadRef;
        const DrawObject* brush = object(b, ObjectKind::brush, "DrawString");
        const DrawObject* font = object(f, ObjectKind::font, "DrawString");
        if (!brush || !font || !text || !origin) {
            r->notes_.push_back("DrawString: unknown brush or font, or null text or origin");
            return kBadRef;
        }
        DrawOp op;
        op.kind = DrawOp::draw_string;
        op.color = brush->color;
        op.origin = *origin;
        op.text = utf8(text);
        op.alignment = align;
        op.truncation = truncation;
        op.truncation_width = truncation_width;
        op.pen_size = font->size;
        r->ops_.push_back(op);
        return kSPNoError;
    }
    static SPErr draw_image(DRAWBOT_SurfaceRef s, DRAWBOT_ImageRef i, const DRAWBOT_PointF32* origin, float)
    {
        DrawRecorder* r = recorder(s);
        if (!r)
            return kBadRef;
        const DrawObject* image = object(i, ObjectKind::image, "DrawImage");
        if (!image || !origin) {
            r->notes_.push_back("DrawImage: unknown image or null origin");
            return kBadRef;
        }
        DrawOp op;
        op.kind = DrawOp::draw_image;
        op.origin = *origin;
        op.width = image->width;
        op.height = image->height;
        op.pixels = image->pixels;
        r->ops_.push_back(op);
        return kSPNoError;
    }
    static SPErr set_policy(DRAWBOT_SurfaceRef s, std::int32_t) { return recorder(s) ? kSPNoError : kBadRef; }
    static SPErr get_policy(DRAWBOT_SurfaceRef s, std::int32_t* out)
    {
        if (!recorder(s) || !out)
            return kBadRef;
        *out = 0;
        return kSPNoError;
    }
    static SPErr flush(DRAWBOT_SurfaceRef s) { return recorder(s) ? kSPNoError : kBadRef; }

    // ---- Path suite ----
    static SPErr add_points(DRAWBOT_PathRef ref, std::initializer_list<DRAWBOT_PointF32> pts, int segments,
                           const char* callback)
    {
        DrawObject* p = nullptr;
        {
            std::lock_guard<std::mutex> lock(g_draw_mutex);
            const auto it = g_objects.find(ref);
            if (it != g_objects.end() && it->second->kind == ObjectKind::path)
                p = it->second.get();
        }
        if (!p)
            return kBadRef;
        for (const auto& q : pts) {
            if (!std::isfinite(q.x) || !std::isfinite(q.y)) {
                p->owner->notes_.push_back(std::string(callback) + ": point is not finite");
                return kBadRef;
            }
            p->points.push_back(q);
        }
        p->segments += segments;
        return kSPNoError;
    }
    static SPErr move_to(DRAWBOT_PathRef p, float x, float y) { return add_points(p, {{x, y}}, 0, "MoveTo"); }
    static SPErr line_to(DRAWBOT_PathRef p, float x, float y) { return add_points(p, {{x, y}}, 1, "LineTo"); }
    static SPErr bezier_to(DRAWBOT_PathRef p, const DRAWBOT_PointF32* a, const DRAWBOT_PointF32* b,
                           const DRAWBOT_PointF32* c)
    {
        if (!a || !b || !c)
            return kBadRef;
        return add_points(p, {*a, *b, *c}, 1, "BezierTo");
    }
    static SPErr add_rect(DRAWBOT_PathRef p, const DRAWBOT_RectF32* r)
    {
        if (!r)
            return kBadRef;
        return add_points(p, {{r->left, r->top}, {r->left + r->width, r->top + r->height}}, 4, "AddRect");
    }
    static SPErr add_arc(DRAWBOT_PathRef p, const DRAWBOT_PointF32* c, float radius, float, float)
    {
        if (!c)
            return kBadRef;
        return add_points(p, {{c->x - radius, c->y - radius}, {c->x + radius, c->y + radius}}, 1, "AddArc");
    }
    static SPErr close(DRAWBOT_PathRef p) { return add_points(p, {}, 1, "Close"); }
};

DrawRecorder::DrawRecorder() : magic_(kRecorderMagic)
{
    std::lock_guard<std::mutex> lock(g_draw_mutex);
    g_recorders.insert(this);
}

DrawRecorder::~DrawRecorder()
{
    std::lock_guard<std::mutex> lock(g_draw_mutex);
    g_recorders.erase(this);
    for (auto it = g_objects.begin(); it != g_objects.end();)
        it = it->second->owner == this ? g_objects.erase(it) : std::next(it);
}

DRAWBOT_DrawRef DrawRecorder::reference()
{
    return reinterpret_cast<DRAWBOT_DrawRef>(this);
}

long DrawRecorder::live_objects() const
{
    std::lock_guard<std::mutex> lock(g_draw_mutex);
    return long(std::count_if(g_objects.begin(), g_objects.end(),
                              [this](const auto& kv) { return kv.second->owner == this; }));
}

std::vector<std::string> DrawRecorder::take_notes()
{
    std::vector<std::string> out;
    out.swap(notes_);
    return out;
}

void DrawRecorder::finish_call()
{
    if (const long n = live_objects())
        notes_.push_back(std::to_string(n) + " drawing object(s) never released");
    if (depth_ != 0)
        notes_.push_back("drawing state stack left " + std::to_string(depth_) + " deep");
    depth_ = 0;
    std::lock_guard<std::mutex> lock(g_draw_mutex);
    for (auto it = g_objects.begin(); it != g_objects.end();)
        it = it->second->owner == this ? g_objects.erase(it) : std::next(it);
}

const DRAWBOT_DrawbotSuite1* DrawRecorder::draw_suite()
{
    static const DRAWBOT_DrawbotSuite1 suite = {Impl::get_supplier, Impl::get_surface};
    return &suite;
}

const DRAWBOT_SupplierSuite1* DrawRecorder::supplier_suite()
{
    static const DRAWBOT_SupplierSuite1 suite = {
        Impl::new_pen,       Impl::new_brush,     Impl::supports_text, Impl::default_font_size,
        Impl::new_font,      Impl::new_image,     Impl::new_path,      Impl::layout_answer,
        Impl::layout_answer, Impl::layout_answer, Impl::layout_answer, Impl::retain,
        Impl::release};
    return &suite;
}

const DRAWBOT_SurfaceSuite1* DrawRecorder::surface_suite()
{
    static const DRAWBOT_SurfaceSuite1 suite = {
        Impl::push,        Impl::pop,         Impl::paint_rect, Impl::fill_path,  Impl::stroke_path,
        Impl::clip,        Impl::clip_bounds, Impl::within_clip, Impl::transform, Impl::draw_string,
        Impl::draw_image,  Impl::set_policy,  Impl::get_policy, Impl::set_policy, Impl::get_policy,
        Impl::flush};
    return &suite;
}

const DRAWBOT_PathSuite1* DrawRecorder::path_suite()
{
    static const DRAWBOT_PathSuite1 suite = {Impl::move_to, Impl::line_to, Impl::bezier_to,
                                             Impl::add_rect, Impl::add_arc, Impl::close};
    return &suite;
}

} // namespace hostkit
