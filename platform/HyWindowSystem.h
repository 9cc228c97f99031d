// The headless window system behind the effect's own dialogs and menus. Nothing is shown on a screen:
// windows draw into bitmaps, and what a user would do (click, choose a menu item, type into an edit
// field, answer a warning, press a key, close a window) comes from a script that tests and the command
// line fill before a modal loop runs. The modal loop of a window takes the script's inputs in order;
// a pop-up menu or a warning takes the next input when it is meant for it, and is cancelled (or
// answered with its first button) otherwise, as a user who looks away would.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "platform/HyGraphics.h"

namespace hyplat {

struct HyInput {
    enum Kind { Click, Press, Choose, Type, Answer, Key, Close };
    Kind kind = Click;
    int x = 0, y = 0;  // Click: window coordinates
    int id = 0;        // Press: the control clicked at its centre; Type: the edit field; Answer: the button;
                       // Key: the key code (13 Enter, 27 Escape)
    std::string text;  // Choose: "Item" or "Parent/Item"; Type: the text
};

// One input as text: "click:X,Y", "press:ID", "choose:Parent/Item", "type:ID=TEXT", "answer:ID", "key:CODE",
// "close". False for anything else.
bool parse_input(std::string_view text, HyInput& out);

struct HyMenuItem {
    std::string text;
    int parent = 0; // number of the parent item (counted from 1 over all items); 0 for top-level items
};

// One warning as it was shown, and the button it returned.
struct HyShownWarning {
    int id = 0;
    std::string text;
    int answer = 0;
};

class HyWindowSystem {
public:
    // Script.
    void push(const HyInput& input) { script_.push_back(input); }
    void clear_script() { script_.clear(); }
    bool has_input() const { return !script_.empty(); }
    // The next input for a modal loop; false when the script is used up.
    bool next(HyInput& out);

    // Pop-up menu at screen point (x, y): the chosen item's number (1-based), or 0 when cancelled. A
    // Choose input at the front of the script names the item; anything else cancels the menu.
    int popup_menu(const std::vector<HyMenuItem>& items, int x, int y);
    // A warning with its buttons' ids in the order shown: an Answer input at the front of the script
    // picks the button; otherwise the first button. Every warning is logged.
    int warning(int id, const std::string& text, const std::vector<int>& buttons);

    // Pointer and clock as the toolkit polls them while tracking: the last click's position, the button
    // up once the click was delivered, and a clock that moves 10 ms per poll.
    void set_pointer(int x, int y, bool down);
    int pointer_x() const { return pointer_x_; }
    int pointer_y() const { return pointer_y_; }
    bool button_down() const { return button_down_; }
    std::uint32_t milliseconds() { return clock_ += 10; }

    // Window timers (id per window); the modal loop fires them once per input.
    void start_timer(const void* window, int id);
    void stop_timer(const void* window, int id);
    bool timer_running(const void* window, int id) const;

    const std::vector<HyShownWarning>& shown_warnings() const { return shown_; }
    void clear_shown_warnings() { shown_.clear(); }
    // The menus shown, as the list of their items, for front ends that print them.
    const std::vector<std::vector<HyMenuItem>>& shown_menus() const { return menus_; }

private:
    std::deque<HyInput> script_;
    std::vector<HyShownWarning> shown_;
    std::vector<std::vector<HyMenuItem>> menus_;
    std::vector<std::pair<const void*, int>> timers_;
    int pointer_x_ = 0, pointer_y_ = 0;
    bool button_down_ = false;
    std::uint32_t clock_ = 0;
};

// The one window system of the process (the host's user-interface thread is the only user). Its script
// starts with the inputs of $SEAVAST_UI_SCRIPT, one a line, so a host process can script the dialogs and
// menus of a plug-in module it loads.
HyWindowSystem& window_system();

} // namespace hyplat
