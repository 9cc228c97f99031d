#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/HyFiles.h"
#include "platform/HyModuleInstance.h"

// A UTF-8 name survives the trip to the system and back, and open_file reaches the same file. The override
// wins for the documents folder; without it the folder is the system's (here $HOME/Documents). A function
// of this program lies in a module; the stack lies in none.
TEST(Files, Utf8NamesDocumentsFolderAndModuleOfAnAddress)
{
    namespace fs = std::filesystem;
    const std::string dir = (fs::temp_directory_path() / "seavast-files-test").string() + " \xce\xa9\xe5\x87\xaa";
    const std::string name = dir + "/Ruhe \xe6\xb5\xb7.wvp";
    fs::create_directories(hyplat::file_path(dir));
    EXPECT_EQ(hyplat::file_name(hyplat::file_path(name)), name);

    std::FILE* f = hyplat::open_file(name.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("PW_WSPEED = 3.000000\n", f);
    std::fclose(f);
    EXPECT_EQ(fs::file_size(hyplat::file_path(name)), 21u);
    EXPECT_EQ(hyplat::open_file((dir + "/missing").c_str(), "rb"), nullptr);
    EXPECT_EQ(hyplat::open_file(nullptr, "rb"), nullptr);
    fs::remove_all(hyplat::file_path(dir));

    const char* old = std::getenv("SEAVAST_DOCUMENTS");
    const std::string saved = old ? old : "";
    setenv("SEAVAST_DOCUMENTS", "/srv/shared docs", 1);
    EXPECT_EQ(hyplat::common_documents_folder(), std::filesystem::path("/srv/shared docs"));
    unsetenv("SEAVAST_DOCUMENTS");
    if (const char* home = std::getenv("HOME"); home && *home) {
        EXPECT_EQ(hyplat::common_documents_folder(), std::filesystem::path(home) / "Documents");
    }
    if (old)
        setenv("SEAVAST_DOCUMENTS", saved.c_str(), 1);

    EXPECT_NE(hyplat::module_instance_of(reinterpret_cast<const void*>(&hyplat::module_instance_of)), nullptr);
    int on_stack = 0;
    EXPECT_EQ(hyplat::module_instance_of(&on_stack), nullptr);
}
