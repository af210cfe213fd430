// The folders of src/ are layers: a file includes only from its own folder and the folders below
// it, and the simulator takes nothing from the program but the wire layouts and the CRC. The
// files of the core library (ktav_core) include nothing of the panels, and the command-line tool
// nothing of the panels nor of the surfaces' modules.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

// From the ground up. The generated control ids ("ktav_panels.h") count as ground.
const std::vector<std::string> kLayers = {"platform", "shared",  "link",  "params",
                                          "calib",    "measure", "touch", "app"};
const std::vector<std::string> kSimMayUse = {"link/wire.h", "link/crc8.h"};

int rankOf(const std::string &folder) {
    const auto it = std::ranges::find(kLayers, folder);
    return it == kLayers.end() ? -1 : int(it - kLayers.begin());
}

// What is wrong with `include` in a file of `folder` ("" when nothing): src/<layer> or sim.
std::string violation(const std::string &folder, const std::string &include) {
    const auto slash = include.find('/');
    if (slash == std::string::npos) return {};  // a file of its own folder or a generated one
    const std::string target = include.substr(0, slash);
    if (folder == "sim") {
        if (rankOf(target) < 0 || std::ranges::find(kSimMayUse, include) != kSimMayUse.end())
            return {};
        return "the simulator reaches into the program";
    }
    const int own = rankOf(folder), other = rankOf(target);
    if (other < 0) return "includes a folder that is not a layer of the program";
    return other > own ? "reaches up a layer" : "";
}

std::vector<std::string> includesOf(const fs::path &file) {
    static const std::regex quoted(R"(^\s*#\s*include\s*"([^"]+)\")");
    std::vector<std::string> result;
    std::ifstream in(file);
    std::smatch match;
    for (std::string line; std::getline(in, line);)
        if (std::regex_search(line, match, quoted)) result.push_back(match[1]);
    return result;
}

// What is wrong with `include` in a file of the core library ("" when nothing).
std::string coreViolation(const std::string &include) {
    if (include.starts_with("platform/ui/")) return "the core reaches into the panels' run-time";
    if (include == "ktav_panels.h" || include == "shared/panels.h")
        return "the core reaches into the panels";
    return {};
}

// What is wrong with `include` in a file of the command-line tool ("" when nothing).
std::string toolViolation(const std::string &include) {
    if (include.starts_with("app/") || include.starts_with("touch/"))
        return "the tool reaches into the surfaces";
    return coreViolation(include);
}

// The files of the core library: the sources that the CMakeLists.txt files under `src` give
// ktav_core, and their headers.
std::vector<fs::path> coreFiles(const fs::path &src) {
    static const std::regex sources(R"(target_sources\(ktav_core\s+PRIVATE([^)]*)\))");
    static const std::regex name(R"([^\s]+)");
    std::vector<fs::path> files;
    for (const auto &entry : fs::recursive_directory_iterator(src)) {
        if (entry.path().filename() != "CMakeLists.txt") continue;
        std::ifstream in(entry.path());
        const std::string text{std::istreambuf_iterator<char>(in), {}};
        for (std::sregex_iterator m(text.begin(), text.end(), sources), end; m != end; ++m) {
            const std::string list = (*m)[1];
            for (std::sregex_iterator n(list.begin(), list.end(), name); n != end; ++n) {
                const fs::path source = entry.path().parent_path() / n->str();
                files.push_back(source);
                if (fs::path header = fs::path(source).replace_extension(".h"); fs::exists(header))
                    files.push_back(header);
            }
        }
    }
    return files;
}

bool isSource(const fs::path &p) {
    return p.extension() == ".cpp" || p.extension() == ".h";
}

}  // namespace

TEST(Layers, RuleTellsDownFromUp) {
    struct Case {
        const char *folder, *include;
        bool allowed;
    } cases[] = {
        {"link", "shared/state.h", true},
        {"link", "params/panelmap.h", false},
        {"params", "link/frame.h", true},
        {"params", "measure/displays.h", false},
        {"calib", "params/derived.h", true},
        {"measure", "touch/x.h", false},
        {"app", "touch/x.h", true},
        {"platform", "shared/panels.h", false},
        {"shared", "platform/ui/userint.h", true},
        {"sim", "link/wire.h", true},
        {"sim", "link/frame.h", false},
        {"sim", "device.h", true},
        {"link", "ktav_panels.h", true},
        {"link", "cli/console.h", false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(violation(c.folder, c.include).empty(), c.allowed)
            << c.folder << " including " << c.include;
    const std::pair<const char *, bool> coreCases[] = {
        {"platform/ui/userint.h", false}, {"ktav_panels.h", false},    {"shared/panels.h", false},
        {"shared/state.h", true},         {"platform/timing.h", true}, {"link/frame.h", true},
    };
    for (const auto &[include, allowed] : coreCases)
        EXPECT_EQ(coreViolation(include).empty(), allowed) << "the core including " << include;
    const std::pair<const char *, bool> toolCases[] = {
        {"app/identify.h", false},
        {"touch/touchloops.h", false},
        {"platform/ui/popupscript.h", false},
        {"calib/identification.h", true},
    };
    for (const auto &[include, allowed] : toolCases)
        EXPECT_EQ(toolViolation(include).empty(), allowed) << "the tool including " << include;
}

TEST(Layers, TheCoreAndTheToolIncludeNothingOfThePanels) {
    const fs::path root = KTAV_SOURCE_DIR;
    const std::vector<fs::path> files = coreFiles(root / "src");
    std::string report;
    for (const fs::path &file : files) {
        EXPECT_TRUE(fs::exists(file)) << file;
        for (const std::string &include : includesOf(file))
            if (const std::string why = coreViolation(include); !why.empty())
                report += fs::relative(file, root).string() + " includes \"" + include +
                          "\": " + why + "\n";
    }
    int toolFiles = 0;
    for (const auto &entry : fs::directory_iterator(root / "cli")) {
        if (!isSource(entry.path())) continue;
        ++toolFiles;
        for (const std::string &include : includesOf(entry.path()))
            if (const std::string why = toolViolation(include); !why.empty())
                report += fs::relative(entry.path(), root).string() + " includes \"" + include +
                          "\": " + why + "\n";
    }
    EXPECT_GT(files.size(), 50u);
    EXPECT_GT(toolFiles, 10);
    EXPECT_TRUE(report.empty()) << report;
}

TEST(Layers, NoFileReachesUpALayer) {
    const fs::path root = KTAV_SOURCE_DIR;
    std::vector<std::string> found;
    int files = 0;
    for (const auto &top : {root / "src", root / "sim"}) {
        for (const auto &entry : fs::recursive_directory_iterator(top)) {
            if (!entry.is_regular_file() || !isSource(entry.path())) continue;
            ++files;
            const fs::path relative = fs::relative(entry.path(), root);
            const std::string folder =
                relative.begin()->string() == "sim" ? "sim" : std::next(relative.begin())->string();
            for (const std::string &include : includesOf(entry.path()))
                if (const std::string why = violation(folder, include); !why.empty())
                    found.push_back(relative.string() + " includes \"" + include + "\": " + why);
        }
    }
    EXPECT_GT(files, 50);
    std::string report;
    for (const std::string &line : found) report += line + "\n";
    EXPECT_TRUE(found.empty()) << report;
}
