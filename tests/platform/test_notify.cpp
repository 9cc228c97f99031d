#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/HyNotify.h"

namespace {

struct Recorder {
    std::vector<std::string> sink, shown, titles;
    std::vector<hyplat::HyNotifyAnswer> answers; // consumed front to back; OK when empty
};

void record_sink(const char* text, void* user)
{
    static_cast<Recorder*>(user)->sink.emplace_back(text);
}

hyplat::HyNotifyAnswer record_answer(const char* title, const char* text, void* user)
{
    auto* r = static_cast<Recorder*>(user);
    r->titles.emplace_back(title);
    r->shown.emplace_back(text);
    if (r->answers.empty())
        return hyplat::HyNotifyAnswer::Ok;
    auto a = r->answers.front();
    r->answers.erase(r->answers.begin());
    return a;
}

} // namespace

// Framed message to sink and user, never cut; OK (the default) keeps notifying, Cancel silences the process.
TEST(Notify, FramesTheMessageAndCancelSilencesTheRestOfTheProcess)
{
    Recorder rec;
    hyplat::set_debug_output_sink(record_sink, &rec);
    hyplat::set_notify_responder(record_answer, &rec);
    EXPECT_TRUE(hyplat::notify("Preset %s has %d keys", "Calm", 12));
    const std::string expected =
        "OK\t= Continue\nCancel\t= No Notifications\n\nPreset Calm has 12 keys\n__________________________\n";
    EXPECT_EQ(rec.sink, std::vector<std::string>{expected});
    EXPECT_EQ(rec.shown, std::vector<std::string>{expected});
    EXPECT_EQ(rec.titles, std::vector<std::string>{"Notification"});
    const std::string long_msg(5000, 'x');
    EXPECT_TRUE(hyplat::notify("%s", long_msg.c_str()));
    EXPECT_NE(rec.shown.back().find(long_msg), std::string::npos);

    hyplat::set_notify_responder(nullptr, nullptr);
    EXPECT_TRUE(hyplat::notify("unanswered %d", 1));
    hyplat::set_notify_responder(record_answer, &rec);
    rec.answers = {hyplat::HyNotifyAnswer::Ok, hyplat::HyNotifyAnswer::Cancel};
    EXPECT_TRUE(hyplat::notify("first"));
    EXPECT_TRUE(hyplat::notifications_enabled());
    EXPECT_TRUE(hyplat::notify("second"));
    EXPECT_FALSE(hyplat::notifications_enabled());
    EXPECT_FALSE(hyplat::notify("third"));
    EXPECT_EQ(rec.shown.size(), 4u);
    EXPECT_EQ(rec.sink.size(), 5u);
    hyplat::set_debug_output_sink(nullptr, nullptr);
    hyplat::set_notify_responder(nullptr, nullptr);
    hyplat::set_notifications_enabled(true);
}
