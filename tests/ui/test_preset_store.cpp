// The preset store: names, the manager's commands and warnings, failed saves, the file layer's answers.
#include <gtest/gtest.h>

#include <fstream>
#include <tuple>

#include "ui/HyPresetStore.h"
#include "ui/PresetFile.h"
#include "tests/apps/CliSupport.h"

namespace fs = std::filesystem;

namespace {

using clitest::slurp;

// Every file below a folder, as paths relative to it.
std::vector<std::string> tree(const fs::path& top)
{
    std::vector<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(top))
        out.push_back(fs::relative(e.path(), top).string());
    std::sort(out.begin(), out.end());
    return out;
}

class Store : public testing::Test {
protected:
    void SetUp() override
    {
        top_ = clitest::fresh_dir("seavast_store");
        ASSERT_TRUE(SetUpPresetRoot(state_, top_ / "root"));
    }
    void TearDown() override { fs::remove_all(top_); }

    fs::path top_;
    HyPresetState state_;
};

const HyAskFn kYes = [](const HyWarning&) { return 2; };
const HyAskFn kNo = [](const HyWarning&) { return 1; };

TEST_F(Store, NamesAreCheckedBeforeAnythingIsTouched)
{
    ASSERT_TRUE(CreateCategory(state_, "Harbour").ok());
    // A name, and the warnings of CreateCategory and of SavePresetAs for it.
    const std::string n31(31, 'a'), n32(32, 'b');
    const std::string wide = "Gl\xC3\xA4tte " + std::string(24, 'x'); // 31 characters, 32 bytes
    std::vector<std::tuple<std::string, int, int>> cases = {{n31, 0, 0}, {wide, 0, 0}, {n32, 912, 912},
                                                            {"", 903, 904}};
    for (const char* bad : {"   ", "..", "../x", "a/b", "a\\b", "C:", "tab\there", "CON", "dot.", "bad\xFF"})
        cases.push_back({bad, 911, 911});
    cases.push_back({std::string("nul\0x", 5), 911, 911});
    for (const auto& [name, category, preset] : cases) {
        HyPresetState s = state_;
        EXPECT_EQ(CreateCategory(s, name).id, category) << name;
        s.destination = state_.root / "Harbour";
        const HyWarning pre = SavePresetAs(s, name, "SeaVast_Ver=1.000000;", kYes);
        EXPECT_EQ(pre.id, preset) << name;
        if (preset == 911) {
            EXPECT_EQ(pre.text,
                      "The name \" " + name + " \" isnt recognized by the system.  Please use a different name!!");
        }
    }
    // Only the accepted names exist, all inside the root.
    EXPECT_EQ(tree(top_),
              (std::vector<std::string>{"root", "root/" + wide, "root/Harbour", "root/Harbour/" + wide + ".wvp",
                                        "root/Harbour/" + n31 + ".wvp", "root/" + n31}));
}

TEST_F(Store, ManagerCommandsKeepStateAndDiskInStepAndFailedSavesLoseNothing)
{
    // Nothing chosen yet.
    EXPECT_EQ(SavePresetAs(state_, "Calm", "x", kYes).id, 901);
    EXPECT_EQ(DeletePreset(state_, kYes).id, 902);
    EXPECT_EQ(CopyPreset(state_, nullptr).id, 902);
    EXPECT_EQ(RenamePreset(state_, "X").id, 902);
    EXPECT_EQ(DeleteCategory(state_, kYes).id, 901);
    std::string text;
    EXPECT_EQ(ReadSelectedPreset(state_, 0xFFFF, text).id, 902);
    EXPECT_EQ(PresetDisplayName(state_, state_.selected), "None Selected");

    ASSERT_TRUE(CreateCategory(state_, "harbour").ok());
    ASSERT_TRUE(CreateCategory(state_, "Bay").ok());
    EXPECT_EQ(state_.destination, state_.root / "Bay");
    ASSERT_TRUE(SavePresetAs(state_, "Calm", "SeaVast_Ver=1.000000;A=1.000000;", kYes).ok());
    // Overwriting asks; Cancel keeps the old text.
    HyWarning asked;
    const HyWarning refused = SavePresetAs(state_, "Calm", "new", [&](const HyWarning& q) {
        asked = q;
        return 1;
    });
    EXPECT_TRUE(refused.answered);
    EXPECT_EQ(asked.text, "The preset: Calm\nalready exists! Do you want tor overwrite it?");
    EXPECT_EQ(slurp(state_.root / "Bay/Calm.wvp"), "SeaVast_Ver=1.000000;A=1.000000;");

    ASSERT_TRUE(ChoosePreset(state_, "Bay/Calm").ok());
    EXPECT_EQ(PresetDisplayName(state_, state_.selected), "Bay:Calm");
    std::string copy;
    ASSERT_TRUE(CopyPreset(state_, &copy).ok());
    ASSERT_TRUE(CopyPreset(state_, &copy).ok());
    EXPECT_EQ(copy, "Calm2");
    EXPECT_EQ(ListPresets(state_.root / "Bay"), (std::vector<std::string>{"Calm", "Calm1", "Calm2"}));
    EXPECT_EQ(ListCategories(state_.root), (std::vector<std::string>{"Bay", "harbour"}));

    // A 31-character name is cut to 30 before its digit.
    const std::string long_name(31, 'w');
    ASSERT_TRUE(SavePresetAs(state_, long_name, "SeaVast_Ver=1;", kYes).ok());
    HyPresetState other = state_;
    ASSERT_TRUE(ChoosePreset(other, "Bay/" + long_name).ok());
    ASSERT_TRUE(CopyPreset(other, &copy).ok());
    EXPECT_EQ(copy, std::string(30, 'w') + "1");

    // Rename: to a free name only; the selection follows.
    EXPECT_EQ(RenamePreset(state_, "Calm1").id, 912);
    EXPECT_EQ(RenamePreset(state_, std::string(32, 'r')).id, 912);
    EXPECT_EQ(RenamePreset(state_, "a/b").id, 911);
    ASSERT_TRUE(RenamePreset(state_, "Still").ok());
    EXPECT_EQ(PresetDisplayName(state_, state_.selected), "Bay:Still");
    EXPECT_FALSE(fs::exists(state_.root / "Bay/Calm.wvp"));

    // Loading: mask 0, a vanished file.
    EXPECT_EQ(ReadSelectedPreset(state_, 0, text).id, 908);
    ASSERT_TRUE(ReadSelectedPreset(state_, 0x20, text).ok());
    EXPECT_EQ(text, "SeaVast_Ver=1.000000;A=1.000000;");
    HyPresetState gone = state_;
    ASSERT_TRUE(ChoosePreset(gone, "Bay/Gone").ok());
    EXPECT_EQ(ReadSelectedPreset(gone, 0xFFFF, text).text, "The preset: \n\nBay:Gone\n\nCannot be found");
    EXPECT_EQ(CopyPreset(gone, nullptr).id, 907);

    // Delete preset asks with the name and the category; Cancel keeps it.
    HyWarning question;
    EXPECT_TRUE(DeletePreset(state_, [&](const HyWarning& q) { question = q; return 1; }).answered);
    EXPECT_EQ(question.text, "Are you sure you want permanently delete the preset:\nStill\n in Category:\nBay ?");
    ASSERT_TRUE(DeletePreset(state_, kYes).ok());
    EXPECT_EQ(state_.selected, state_.root);

    // Deleting the category that holds the selection and the destination resets both.
    ASSERT_TRUE(ChoosePreset(state_, "Bay/Calm1").ok());
    ASSERT_TRUE(ChooseCategory(state_, "Bay", state_.current).ok());
    EXPECT_TRUE(DeleteCategory(state_, kNo).answered);
    EXPECT_TRUE(fs::exists(state_.root / "Bay/Calm1.wvp"));
    ASSERT_TRUE(DeleteCategory(state_, kYes).ok());
    EXPECT_FALSE(fs::exists(state_.root / "Bay"));
    EXPECT_EQ(PresetDisplayName(state_, state_.selected), "None Selected");
    EXPECT_EQ(state_.destination, state_.root);
    EXPECT_EQ(state_.current, state_.root);
    EXPECT_TRUE(fs::exists(state_.root / "harbour"));

    // Failed saves lose nothing.
    ASSERT_TRUE(CreateCategory(state_, "Bay").ok());
    const std::string good = "SeaVast_Ver=1.000000;OP_GAMMA=1.000000;";
    ASSERT_TRUE(SavePresetAs(state_, "Calm", good, kYes).ok());

    // A crash between writing the new text and renaming it over the old file.
    preset_file::SetBeforeRenameHook([](const std::string&) { return false; });
    const HyWarning w = SavePresetAs(state_, "Calm", std::string(100000, 'z'), kYes);
    preset_file::SetBeforeRenameHook(nullptr);
    EXPECT_EQ(w.text, "Unable to open the preset file:\nBay:Calm");
    EXPECT_EQ(slurp(state_.root / "Bay/Calm.wvp"), good);
    EXPECT_EQ(tree(state_.root), (std::vector<std::string>{"Bay", "Bay/Calm.wvp", "harbour"}));

    // A root that cannot be created (its parent is a file): every command fails with its warning.
    std::ofstream(top_ / "file") << "x";
    HyPresetState blocked;
    EXPECT_FALSE(SetUpPresetRoot(blocked, top_ / "file" / "SeaVast"));
    EXPECT_EQ(CreateCategory(blocked, "Bay").id, 911);
    blocked.destination = blocked.root / "Bay";
    EXPECT_EQ(SavePresetAs(blocked, "Calm", good, kYes).id, 907);
    EXPECT_TRUE(ListCategories(blocked.root).empty());
    EXPECT_EQ(slurp(top_ / "file"), "x");

    // The file layer's own answers: no such folder, no such file, a folder, a file beyond the limit.
    text.clear();
    EXPECT_EQ(preset_file::Write((top_ / "nope" / "x.wvp").string(), "A=1;"), preset_file::Status::Unwritable);
    EXPECT_EQ(preset_file::Read((top_ / "absent.wvp").string(), text), preset_file::Status::Missing);
    EXPECT_TRUE(text.empty());
    EXPECT_EQ(preset_file::Read(top_.string(), text), preset_file::Status::Unreadable);
    std::ofstream(top_ / "big.wvp", std::ios::binary).seekp(std::streamoff(preset_file::kMaxBytes) + 10).put('x');
    EXPECT_EQ(preset_file::Read((top_ / "big.wvp").string(), text), preset_file::Status::TooLarge);
}

} // namespace
