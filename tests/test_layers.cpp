// The folders of src/ are one tree per library: wire/ (the byte layouts), core/ (the device work)
// and gui/ (the panels). Inside core/ and gui/ the folders are layers: a file includes only from
// its own folder and the folders below it, and from the trees below its own. The simulator takes
// only the wire layouts; the command-line tool and the Python module take the core, never the
// panels.
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

// Each tree with its layers from the ground up, and the library its folders build.
struct Tree {
    std::string name, library;
    std::vector<std::string> layers;
};
const std::vector<Tree> kTrees = {
    {"wire", "ktav_wire", {}},
    {"core",
     "ktav_core",
     {"system", "state", "audit", "link", "params", "calib", "measure", "stats", "json"}},
    {"gui", "ktav", {"runtime", "panels", "params", "calib", "measure", "touch", "app"}},
};

int treeRank(const std::string &tree) {
    const auto it = std::ranges::find(kTrees, tree, &Tree::name);
    return it == kTrees.end() ? -1 : int(it - kTrees.begin());
}

int layerRank(const std::string &tree, const std::string &layer) {
    const int t = treeRank(tree);
    if (t < 0) return -1;
    const auto &layers = kTrees[t].layers;
    const auto it = std::ranges::find(layers, layer);
    return it == layers.end() ? -1 : int(it - layers.begin());
}

std::vector<std::string> split(const std::string &path) {
    std::vector<std::string> parts;
    for (size_t from = 0, slash; from <= path.size(); from = slash + 1) {
        slash = path.find('/', from);
        if (slash == std::string::npos) slash = path.size();
        parts.push_back(path.substr(from, slash - from));
    }
    return parts;
}

// What is wrong with `include` in a file of `scope` ("" when nothing). The scope is the file's
// folder below src/ ("core/link", "gui/app", "wire"), or "sim", "cli" or "python".
std::string violation(const std::string &scope, const std::string &include) {
    const std::vector<std::string> from = split(scope), to = split(include);
    if (to.size() == 1)  // a file of its own folder, or the generated control ids of the panels
        return include == "ktav_panels.h" && from[0] != "gui" ? "reaches into the panels" : "";
    const int target = treeRank(to[0]);
    if (target < 0) return "includes a folder that is not a tree of the program";
    if (to[0] != "wire" && to.size() < 3) return "includes a tree without its layer folder";
    if (scope == "sim") return to[0] == "wire" ? "" : "the simulator reaches into the program";
    if (scope == "cli" || scope == "python")
        return to[0] == "gui" ? "the " + scope + " front reaches into the panels" : "";
    if (to[0] == "wire") return "";  // the ground of every tree
    const int own = treeRank(from[0]);
    if (target > own) return to[0] == "gui" ? "reaches into the panels" : "reaches up a tree";
    if (target < own) return "";
    const int layer = layerRank(to[0], to[1]);
    if (layer < 0) return "includes a folder that is not a layer of its tree";
    return layer > layerRank(from[0], from[1]) ? "reaches up a layer" : "";
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

std::string textOf(const fs::path &file) {
    std::ifstream in(file);
    return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace

TEST(Layers, RuleTellsDownFromUp) {
    // A scope, includes it may have and includes it may not.
    const std::tuple<const char *, std::vector<std::string>, std::vector<std::string>> rules[] = {
        {"wire", {"crc8.h"}, {"core/link/frame.h", "gui/app/shell.h"}},
        {"core/system", {"wire/wire.h", "timing.h"}, {"core/state/flags.h", "ktav_panels.h"}},
        {"core/link",
         {"core/state/flags.h", "core/link/frame.h", "wire/crc8.h"},
         {"core/params/paramblock.h", "gui/panels/handles.h", "cli/console.h", "link/frame.h"}},
        {"core/measure",
         {"core/calib/calibfile.h", "core/system/timing.h"},
         {"gui/runtime/userint.h", "gui/measure/displays.h", "ktav_panels.h"}},
        {"gui/runtime", {"core/measure/recorder.h", "ktav_panels.h"}, {"gui/panels/handles.h"}},
        {"gui/params", {"gui/panels/handles.h", "core/calib/calibfile.h"}, {"gui/touch/x.h"}},
        {"gui/app", {"gui/touch/x.h", "gui/runtime/userint.h", "wire/wire.h"}, {"gui/nowhere/x.h"}},
        {"sim", {"wire/wire.h", "wire/crc8.h", "device.h"}, {"core/link/frame.h"}},
        {"core/json", {"core/measure/recorder.h", "core/calib/identifypair.h"}, {"gui/app/x.h"}},
        {"cli",
         {"core/calib/identifypair.h", "console.h"},
         {"gui/app/identityview.h", "gui/runtime/popupscript.h", "ktav_panels.h"}},
        {"python",
         {"core/json/documents.h", "wire/wire.h", "session.h"},
         {"gui/measure/displays.h", "ktav_panels.h", "cli/console.h"}},
    };
    for (const auto &[scope, allowed, refused] : rules) {
        for (const std::string &include : allowed)
            EXPECT_EQ(violation(scope, include), "") << scope << " including " << include;
        for (const std::string &include : refused)
            EXPECT_NE(violation(scope, include), "") << scope << " including " << include;
    }
}

// Every file of src/, sim/, cli/ and python/ under its folder's rule, and every folder of a tree
// building that tree's library and no other.
TEST(Layers, NoFileBreaksTheRule) {
    const fs::path root = KTAV_SOURCE_DIR;
    std::map<std::string, int> checked;  // files per tree or top folder
    std::string report;
    for (const char *top : {"src", "sim", "cli", "python"})
        for (const auto &entry : fs::recursive_directory_iterator(root / top)) {
            const fs::path &file = entry.path();
            const fs::path relative = fs::relative(file, root);
            std::string scope = top;
            if (scope == "src") scope = fs::relative(file.parent_path(), root / top).string();
            if (file.filename() == "CMakeLists.txt" && treeRank(split(scope)[0]) >= 0) {
                static const std::regex target(R"((?:target_sources|add_library)\((\w+))");
                const std::string text = textOf(file),
                                  &library = kTrees[treeRank(split(scope)[0])].library;
                for (std::sregex_iterator m(text.begin(), text.end(), target), end; m != end; ++m)
                    if ((*m)[1] != library)
                        report += relative.string() + " builds " + (*m)[1].str() + "\n";
            }
            if (file.extension() != ".cpp" && file.extension() != ".h") continue;
            ++checked[split(scope)[0]];
            for (const std::string &include : includesOf(file))
                if (const std::string why = violation(scope, include); !why.empty())
                    report += relative.string() + " includes \"" + include + "\": " + why + "\n";
        }
    for (const auto &[tree, least] :
         {std::pair("wire", 2), {"core", 50}, {"gui", 50}, {"sim", 10}, {"cli", 10}, {"python", 4}})
        EXPECT_GE(checked[tree], least) << tree;
    EXPECT_TRUE(report.empty()) << report;
}
