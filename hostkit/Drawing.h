// The drawing suites a custom control paints with, headless: every surface operation is recorded
// (what, where, in which colour, which text), so tests can check what a control drew. Objects the
// plug-in makes (pens, brushes, fonts, images, paths) are counted; one never released, a stale or
// foreign reference, or an unbalanced state stack is misuse.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sdk/DrawbotSuite.h"

namespace hostkit {

struct DrawOp {
    enum Kind { paint_rect, fill_path, stroke_path, draw_string, draw_image, clip, transform };
    Kind kind = paint_rect;
    DRAWBOT_ColorRGBA color{}; // paint_rect, and the brush or pen of paths and strings
    float pen_size = 0;        // stroke_path
    DRAWBOT_RectF32 rect{};    // paint_rect; clip; the bounds of a path's points
    DRAWBOT_PointF32 origin{}; // draw_string, draw_image
    std::string text;          // draw_string, as UTF-8
    int alignment = 0;         // draw_string
    int truncation = 0;        // draw_string: how text wider than truncation_width is cut
    float truncation_width = 0;
    int segments = 0;          // paths: segments drawn (lines, curves, rectangles, arcs)
    int width = 0, height = 0; // draw_image
    // draw_image: the image's pixels as 0xAARRGGBB words, rows from the top, as the plug-in handed them.
    std::shared_ptr<const std::vector<std::uint32_t>> pixels;
};

class DrawRecorder {
public:
    DrawRecorder();
    ~DrawRecorder();
    DrawRecorder(const DrawRecorder&) = delete;
    DrawRecorder& operator=(const DrawRecorder&) = delete;

    const std::vector<DrawOp>& ops() const { return ops_; }
    void clear_ops() { ops_.clear(); }
    long live_objects() const;
    int state_depth() const { return depth_; }

    // The reference the custom-UI suite hands out for this recorder.
    DRAWBOT_DrawRef reference();

    // Misuse found since the last call, moved out (the host files it under the current call).
    std::vector<std::string> take_notes();
    // End-of-call checks: objects never released, state stack left pushed.
    void finish_call();

    static const DRAWBOT_DrawbotSuite1* draw_suite();
    static const DRAWBOT_SupplierSuite1* supplier_suite();
    static const DRAWBOT_SurfaceSuite1* surface_suite();
    static const DRAWBOT_PathSuite1* path_suite();

    struct Impl; // the suite functions (internal)

private:
    friend struct Impl;
    std::uint32_t magic_;
    std::vector<DrawOp> ops_;
    std::vector<std::string> notes_;
    int depth_ = 0;
};

} // namespace hostkit
