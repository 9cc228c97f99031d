// The view toolkit (layouts, notifications, menus, strings, scripts), then the Presets dialog in use.
#include <gtest/gtest.h>

#include <unistd.h>

#include "platform/HyWindowSystem.h"
#include "ui/CPWindow.h"
#include "ui/HyPresetDialog.h"
#include "ui/UiResources.h"

namespace fs = std::filesystem;
using hyplat::HyInput;
using hyplat::HyRect;

namespace {

hyplat::HyWindowSystem& ws() { return hyplat::window_system(); }

void script(std::initializer_list<const char*> inputs)
{
    for (const char* text : inputs) {
        HyInput in;
        ASSERT_TRUE(hyplat::parse_input(text, in)) << text;
        ws().push(in);
    }
}

bool same(const HyRect& a, const HyRect& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// Layouts place views and fields; strings never cut a letter; inputs and pictures are read strictly.
TEST(Toolkit, LayoutsStringsInputsPicturesAndNotifications)
{
    CPWindow w(kPresetsDialog, nullptr);
    EXPECT_EQ(load_layout(w, kPresetsDialog, EffectResources()), 13);
    EXPECT_EQ(w.Title(), "Presets");
    EXPECT_EQ(w.Width(), 434);
    EXPECT_EQ(w.Height(), 419);
    // Buttons take their bitmap's size; pop-ups and fields their layout size.
    const hyplat::HyBitmap* save = EffectResources().Bitmap(115);
    ASSERT_NE(save, nullptr);
    EXPECT_TRUE(same(w.FindView(8)->Rect(), HyRect{238, 186, 238 + save->width(), 186 + save->height()}));
    EXPECT_TRUE(same(w.FindView(6)->Rect(), HyRect{75, 183, 235, 203}));
    EXPECT_EQ(w.FindView(7)->GetText(), "None Selected");
    HyRect field;
    ASSERT_TRUE(w.GetControlRect(3, field));
    EXPECT_TRUE(same(field, HyRect{75, 151, 237, 173}));
    EXPECT_TRUE(w.Views().front()->State() & CView::kStateDisabled); // the background

    // Every button and the backgrounds lie inside the window.
    for (const auto& v : w.Views())
        EXPECT_TRUE(same(v->Rect().intersect(HyRect{0, 0, 434, 419}), v->Rect())) << v->Id();

    // Defaults, missing keys, keys inside other words, unknown classes, positions taken from a field.
    CPWindow t(0, nullptr);
    const char* text = "id=2; [ class=CViewButton; left=5; top=6; bmp_id_norm=115; XID=9; ]\n"
                       "id=3; [ class=Nonsense; left=1; ]\n"
                       "id=4; [ class=CViewPopMenu; getpositionfrom=77; ]\n"
                       "id=5; [ class=CViewSlider; left=0; top=0; width=101; height=9; min=0; max=10; value=4; disabled=1 ]\n"
                       "WindowWidth=50; WindowHeight=999999;";
    EXPECT_EQ(load_layout_text(t, text, EffectResources()), 3);
    const auto* b = dynamic_cast<const CViewButton*>(t.FindView(2));
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(same(b->Rect(), HyRect{5, 6, 25, 18}));
    EXPECT_EQ(b->m_bmpDown2, 115);
    EXPECT_EQ(t.FindView(9), nullptr);
    EXPECT_EQ(t.FindView(3), nullptr);
    EXPECT_TRUE(same(t.FindView(4)->Rect(), HyRect{0, 0, 20, 12})); // no such field: the default
    EXPECT_FLOAT_EQ(t.FindView(5)->GetValue(), 4.0f);
    EXPECT_TRUE(t.FindView(5)->State() & CView::kStateDisabled);
    EXPECT_EQ(t.Width(), 50);
    EXPECT_EQ(t.Height(), CPWindow::kMaxSide);
    EXPECT_EQ(CView(1, HyRect{}).GetText(), "Error - Base View");

    CString16 s16("a long text that does not fit");
    EXPECT_EQ(s16.View(), "a long text tha");
    CString16 cut("\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4"); // 16 bytes, 8 letters
    EXPECT_EQ(cut.View().size(), 14u); // never half a letter
    CDynamicString d("grows");
    d.Assign(std::string(3000, 'x'));
    EXPECT_EQ(d.View().size(), 3000u);

    HyInput in; // typed texts are read by the dialog's scripts below
    EXPECT_TRUE(hyplat::parse_input("click:-4,17", in));
    EXPECT_EQ(in.x, -4);
    for (const char* bad : {"click:1", "press:x", "type:3", "close:1", "hover:1", ""})
        EXPECT_FALSE(hyplat::parse_input(bad, in)) << bad;

    const char* const xpm[] = {"3 2 2 1", ". c None", "# c #FF8000", "#.#", ".#."};
    const hyplat::HyBitmap bmp = hyplat::HyBitmap::FromXpm(xpm, 5);
    ASSERT_EQ(bmp.width(), 3);
    EXPECT_EQ(bmp.at(0, 0), 0xFFFF8000u);
    EXPECT_EQ(bmp.at(1, 0), 0u);
    const char* const broken[] = {"3 9 1 1", ". c #000000", "..."};
    EXPECT_TRUE(hyplat::HyBitmap::FromXpm(broken, 3).empty());
    // Every bitmap the dialogs name exists.
    for (int id : {98, 99, 100, 103, 106, 109, 112, 115, 118, 121, 124, 127, 130})
        EXPECT_NE(EffectResources().Bitmap(id), nullptr) << id;

    std::vector<CNotification> heard;
    CPWindow win(0, [&](CPWindow&, const CNotification& m) {
        heard.push_back(m);
        return true;
    });
    auto* button = win.AddView(std::make_unique<CViewButton>(8, HyRect{10, 10, 40, 30}));
    auto* menu =
        static_cast<CViewPopMenu*>(win.AddView(std::make_unique<CViewPopMenu>(6, HyRect{50, 10, 150, 30})));
    const int bay = menu->AddItem("Bay");
    menu->AddItem("Calm", bay);
    menu->AddItem("Storm", bay);

    // A click inside, a click outside every view, a choice, the same choice again, a cancelled menu.
    script({"click:20,20", "click:45,45", "click:60,20", "choose:Bay/Storm", "press:6", "choose:Bay/Storm",
            "press:6", "choose:Nowhere"});
    win.RunModal();
    std::vector<std::pair<int, int>> notes;
    for (const CNotification& m : heard)
        if (m.kind == kMsgNotification)
            notes.emplace_back(m.code, m.id);
    EXPECT_EQ(notes, (std::vector<std::pair<int, int>>{{6, 8}, {17, 6}, {5, 6}, {17, 6}, {17, 6}}));
    EXPECT_FLOAT_EQ(menu->GetValue(), 3.0f);
    EXPECT_FALSE(ws().timer_running(&win, CPWindow::kTimerId));

    // Broadcasters and listeners unlink from each other when either goes.
    struct Counter : CListener {
        int n = 0;
        void Listen(const CNotification&) override { ++n; }
    };
    auto counter = std::make_unique<Counter>();
    button->AddListener(*counter);
    EXPECT_EQ(button->ListenerCount(), 2u);
    button->Notify(kNoteClicked);
    EXPECT_EQ(counter->n, 1);
    counter.reset();
    EXPECT_EQ(button->ListenerCount(), 1u);
    Counter survivor;
    {
        CView doomed(1, HyRect{});
        doomed.AddListener(survivor);
    }
    CView other(2, HyRect{});
    other.AddListener(survivor);
    other.Notify(1);
    EXPECT_EQ(survivor.n, 1);
}

TEST(Dialog, ManagesPresetsLikeAUser)
{
    const fs::path root = fs::temp_directory_path() / ("seavast_dialog_" + std::to_string(getpid()));
    fs::remove_all(root);
    HyPresetState state;
    SetUpPresetRoot(state, root);
    ws().clear_script();
    ws().clear_shown_warnings();
    hyplat::HyBitmap picture;
    const auto text = [] { return std::string("SeaVast_Ver=1.000000;"); };
    const auto run = [&] { return open_presets_dialog(state, text, &picture); };
    const auto warnings = [] {
        std::vector<int> ids;
        for (const auto& w : ws().shown_warnings())
            ids.push_back(w.id);
        return ids;
    };
    script({"press:8",                                    // save without a category: 901
            "type:4=Harbour", "press:9",                  // create a category; it becomes the destination
            "press:8",                                    // save without a name: 904
            "type:3=Calm", "press:8",                     // save Calm into Harbour
            "type:3=Calm", "press:8", "answer:1",         // again: 905, Cancel
            "press:13",                                   // copy without a selection: 902
            "press:7", "choose:Harbour/Calm",             // select it
            "press:13", "press:13",                       // Calm1, Calm2
            "press:14", "type:3=Still", "press:1",        // rename Calm to Still
            "press:5", "choose:Harbour",                  // current category
            "press:10", "answer:2",                       // delete it, OK
            "press:1"});
    EXPECT_EQ(run(), kCtlDone);
    EXPECT_EQ(warnings(), (std::vector<int>{901, 904, 905, 902, 914}));
    EXPECT_FALSE(fs::exists(root / "Harbour"));
    EXPECT_EQ(state.selected, state.root);
    EXPECT_EQ(state.destination, state.root);
    EXPECT_EQ(picture.width(), 434);

    // The same up to the delete, then a look at the store and the pop-ups.
    ws().clear_shown_warnings();
    script({"type:4=Harbour", "press:9", "type:3=Calm", "press:8", "press:7", "choose:Harbour/Calm", "press:13",
            "press:13", "press:14", "type:3=Still", "press:1", "press:14", "type:3=Nope", "press:2", "key:13"});
    EXPECT_EQ(run(), kCtlDone);
    EXPECT_TRUE(warnings().empty());
    EXPECT_EQ(ListPresets(root / "Harbour"), (std::vector<std::string>{"Calm1", "Calm2", "Still"}));
    EXPECT_EQ(state.selected, state.root); // the load selection is reset when the dialog closes
    fs::remove_all(root);
}

} // namespace
