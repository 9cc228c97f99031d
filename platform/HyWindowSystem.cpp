#include "platform/HyWindowSystem.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>

namespace hyplat {

bool HyWindowSystem::next(HyInput& out)
{
    if (script_.empty())
        return false;
    out = script_.front();
    script_.pop_front();
    return true;
}

int HyWindowSystem::popup_menu(const std::vector<HyMenuItem>& items, int, int)
{
    menus_.push_back(items);
    if (script_.empty() || script_.front().kind != HyInput::Choose)
        return 0;
    const std::string wanted = script_.front().text;
    script_.pop_front();
    for (std::size_t i = 0; i < items.size(); ++i) {
        const HyMenuItem& item = items[i];
        std::string path = item.text;
        if (item.parent > 0 && std::size_t(item.parent) <= items.size())
            path = items[std::size_t(item.parent) - 1].text + "/" + item.text;
        if (path == wanted)
            return int(i) + 1;
    }
    return 0;
}

int HyWindowSystem::warning(int id, const std::string& text, const std::vector<int>& buttons)
{
    int answer = buttons.empty() ? 1 : buttons.front();
    if (!script_.empty() && script_.front().kind == HyInput::Answer) {
        const int wanted = script_.front().id;
        script_.pop_front();
        if (std::find(buttons.begin(), buttons.end(), wanted) != buttons.end())
            answer = wanted;
    }
    shown_.push_back(HyShownWarning{id, text, answer});
    return answer;
}

void HyWindowSystem::set_pointer(int x, int y, bool down)
{
    pointer_x_ = x;
    pointer_y_ = y;
    button_down_ = down;
}

void HyWindowSystem::start_timer(const void* window, int id)
{
    if (!timer_running(window, id))
        timers_.emplace_back(window, id);
}

void HyWindowSystem::stop_timer(const void* window, int id)
{
    timers_.erase(std::remove(timers_.begin(), timers_.end(), std::make_pair(window, id)), timers_.end());
}

bool HyWindowSystem::timer_running(const void* window, int id) const
{
    return std::find(timers_.begin(), timers_.end(), std::make_pair(window, id)) != timers_.end();
}

namespace {

bool to_int(std::string_view s, int& out)
{
    const auto r = std::from_chars(s.data(), s.data() + s.size(), out);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

} // namespace

bool parse_input(std::string_view text, HyInput& out)
{
    const std::size_t colon = text.find(':');
    const std::string_view verb = text.substr(0, colon);
    const std::string_view arg = colon == std::string_view::npos ? std::string_view() : text.substr(colon + 1);
    out = HyInput{};
    if (verb == "close" && colon == std::string_view::npos) {
        out.kind = HyInput::Close;
        return true;
    }
    if (verb == "click") {
        const std::size_t comma = arg.find(',');
        out.kind = HyInput::Click;
        return comma != std::string_view::npos && to_int(arg.substr(0, comma), out.x) &&
               to_int(arg.substr(comma + 1), out.y);
    }
    if (verb == "choose" && !arg.empty()) {
        out.kind = HyInput::Choose;
        out.text = std::string(arg);
        return true;
    }
    if (verb == "type") {
        const std::size_t eq = arg.find('=');
        out.kind = HyInput::Type;
        out.text = eq == std::string_view::npos ? std::string() : std::string(arg.substr(eq + 1));
        return eq != std::string_view::npos && to_int(arg.substr(0, eq), out.id);
    }
    const HyInput::Kind kinds[] = {HyInput::Press, HyInput::Answer, HyInput::Key};
    const std::string_view names[] = {"press", "answer", "key"};
    for (int k = 0; k < 3; ++k)
        if (verb == names[k]) {
            out.kind = kinds[k];
            return to_int(arg, out.id);
        }
    return false;
}

HyWindowSystem& window_system()
{
    static HyWindowSystem system = [] {
        HyWindowSystem s;
        if (const char* script = std::getenv("SEAVAST_UI_SCRIPT")) {
            std::string_view rest = script;
            while (!rest.empty()) {
                const std::size_t nl = rest.find('\n');
                HyInput input;
                if (parse_input(rest.substr(0, nl), input))
                    s.push(input);
                rest = nl == std::string_view::npos ? std::string_view() : rest.substr(nl + 1);
            }
        }
        return s;
    }();
    return system;
}

} // namespace hyplat
