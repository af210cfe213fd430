// The folders of src/ are layers: a file includes only from its folder and the folders below it.
// The simulator takes only the wire layouts and the CRC from the program; the core library
// (ktav_core) includes nothing of the panels, the command-line tool neither panels nor surfaces.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

namespace {

namespace fs = std::filesystem;

// From the ground up. The generated control ids ("ktav_panels.h") count as ground.
const std::vector<std::string> kLayers = {"platform", "shared", "link",  "params", "calib",
                                          "measure",  "stats",  "touch", "app"};

int rankOf(const std::string &folder) {
    const auto it = std::ranges::find(kLayers, folder);
    return it == kLayers.end() ? -1 : int(it - kLayers.begin());
}

// What is wrong with `include` in a file of `scope` ("" when nothing): a layer of src/, "sim",
// "core" (a file of the core library) or "cli".
std::string violation(const std::string &scope, const std::string &include) {
    if (scope == "core" || scope == "cli") {
        if (scope == "cli" && (include.starts_with("app/") || include.starts_with("touch/")))
            return "the tool reaches into the surfaces";
        if (include.starts_with("platform/ui/") || include == "ktav_panels.h" ||
            include == "shared/panels.h")
            return "reaches into the panels";
        return {};
    }
    const auto slash = include.find('/');
    if (slash == std::string::npos) return {};  // a file of its own folder or a generated one
    const int target = rankOf(include.substr(0, slash));
    const bool layouts = include == "link/wire.h" || include == "link/crc8.h";
    if (scope == "sim")
        return target < 0 || layouts ? "" : "the simulator reaches into the program";
    if (target < 0) return "includes a folder that is not a layer of the program";
    return target > rankOf(scope) ? "reaches up a layer" : "";
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

}  // namespace

TEST(Layers, RuleTellsDownFromUp) {
    // A scope, includes it may have and includes it may not.
    const std::tuple<const char *, std::vector<std::string>, std::vector<std::string>> rules[] = {
        {"link", {"shared/state.h", "ktav_panels.h"}, {"params/panelmap.h", "cli/console.h"}},
        {"app", {"touch/x.h", "calib/calibfile.h"}, {}},
        {"shared", {"platform/ui/userint.h"}, {}},
        {"measure", {"params/derived.h"}, {"touch/x.h", "app/x.h"}},
        {"platform", {}, {"shared/panels.h"}},
        {"sim", {"link/wire.h", "link/crc8.h", "device.h"}, {"link/frame.h"}},
        {"core", {"shared/state.h"}, {"ktav_panels.h", "shared/panels.h", "platform/ui/userint.h"}},
        {"cli", {}, {"platform/ui/popupscript.h", "shared/panels.h"}},
        {"cli", {"calib/identification.h"}, {"app/identify.h", "touch/touchloops.h"}},
    };
    for (const auto &[scope, allowed, refused] : rules) {
        for (const std::string &include : allowed)
            EXPECT_EQ(violation(scope, include), "") << scope << " including " << include;
        for (const std::string &include : refused)
            EXPECT_NE(violation(scope, include), "") << scope << " including " << include;
    }
}

// Every file of src/, sim/ and cli/ under its folder's rule, and the core library's under its own.
TEST(Layers, NoFileBreaksTheRule) {
    const fs::path root = KTAV_SOURCE_DIR;
    std::map<std::string, int> checked;  // files per rule
    std::string report;
    auto check = [&](const fs::path &file, const std::string &scope) {
        EXPECT_TRUE(fs::exists(file)) << file;
        ++checked[scope == "core" || scope == "sim" || scope == "cli" ? scope : "src"];
        for (const std::string &include : includesOf(file))
            if (const std::string why = violation(scope, include); !why.empty())
                report += fs::relative(file, root).string() + " includes \"" + include +
                          "\": " + why + "\n";
    };
    for (const fs::path &file : coreFiles(root / "src")) check(file, "core");
    for (const char *top : {"src", "sim", "cli"})
        for (const auto &entry : fs::recursive_directory_iterator(root / top)) {
            const fs::path &file = entry.path();
            if (file.extension() != ".cpp" && file.extension() != ".h") continue;
            const fs::path relative = fs::relative(file, root);
            check(file, top == std::string("src") ? std::next(relative.begin())->string() : top);
        }
    for (const auto &[rule, least] : {std::pair("core", 50), {"src", 50}, {"sim", 10}, {"cli", 10}})
        EXPECT_GT(checked[rule], least) << rule;
    EXPECT_TRUE(report.empty()) << report;
}
