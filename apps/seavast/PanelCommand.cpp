// seavast panel: draws the effect's presets panel as a host shows it, through the plug-in module's draw
// event and the host kit's drawing suites, after the clicks and menu choices a user would make.
#include <cstdio>
#include <cstdlib>

#include "platform/HyFiles.h"
#include "Command.h"
#include "PresetStore.h"
#include "Session.h"
#include "host/CPresetsPanel.h"
#include "hostkit/DrawReplay.h"

namespace seavast_app {
namespace {

class PanelCommand : public Command {
public:
    void add_options(CLI::App& cmd) override
    {
        cmd.add_option("-o,--output", output_, "Image file of the panel (PNG, TIFF, EXR)")->required();
        cmd.add_option("--preset", preset_, "Pick CATEGORY/NAME in the panel's preset menu first");
        cmd.add_option("--parts", parts_, "Pick the groups to load in the parts menu (\"All\", \"Lights\", ...)");
        cmd.add_flag("--load", load_, "Press the load button after picking");
    }

    int run(const CommonOptions& common) override
    {
        // The module's menus take their choices from the window system's script, which the module reads
        // from the environment when it first needs it.
        std::string script;
        if (!preset_.empty())
            script += "choose:" + preset_ + "\n";
        if (!parts_.empty())
            script += "choose:" + parts_ + "\n";
        if (!script.empty())
            hyplat::set_environment("SEAVAST_UI_SCRIPT", script);
        Session session;
        if (!session.open(common, ParamOptions{}, 64, 64))
            return kExitFailure;
        hostkit::Host& host = session.host();
        using namespace presets_panel;
        if (!preset_.empty() && !click(host, kPresetField))
            return kExitFailure;
        if (!parts_.empty() && !click(host, kPartsField))
            return kExitFailure;
        if (load_ && !click(host, kLoadButton))
            return kExitFailure;
        host.drawing().clear_ops();
        PF_EventExtra draw = host.make_event(PF_Event_DRAW);
        if (const PF_Err err = host.event(draw))
            return fail("the panel did not draw: " + plugin_error_text(err, host));
        report_misuse(host);
        const PF_Rect a = draw.effect_win.area;
        const hyplat::HyBitmap picture = hostkit::replay(host.drawing().ops(), a.right - a.left, a.bottom - a.top);
        if (const std::string error = write_picture(output_, picture); !error.empty())
            return fail(error);
        return kExitOk;
    }

private:
    template <class Area>
    bool click(hostkit::Host& host, const Area& area)
    {
        PF_EventExtra e = host.make_event(PF_Event_DO_CLICK);
        e.u.do_click.screen_point =
            PF_Point{e.effect_win.area.left + (area.left + area.right) / 2, e.effect_win.area.top + (area.top + area.bottom) / 2};
        if (const PF_Err err = host.event(e)) {
            fail("the panel refused a click: " + plugin_error_text(err, host));
            return false;
        }
        return true;
    }

    std::string output_;
    std::string preset_;
    std::string parts_;
    bool load_ = false;
};

SEAVAST_COMMAND(PanelCommand, "panel", "Draw the presets panel as a host shows it", 52);

} // namespace
} // namespace seavast_app
