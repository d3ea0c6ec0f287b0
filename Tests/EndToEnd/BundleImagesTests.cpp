// Every image the app asks the bundle for is shipped, at 1x, 2x and 3x, and loads. The names come
// from the sources (the string literals of every imageNamed call in Classes/ and Libraries/), from
// the test catalogue (every item's "icon") and from the few places that hand a name to imageNamed
// through a variable, each covered below; a new call that passes a variable fails the test until
// its names are covered too.
#include <Device/SimDevice.h>
#include <Foundation/NSArray.h>
#include <Foundation/NSData.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSPropertyListSerialization.h>
#include <Support/PlatformTestCase.h>
#include <UIKit/UIImage.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The string literals in a piece of source.
std::vector<std::string> literals(const std::string& code) {
    static const std::regex literal("\"((?:[^\"\\\\]|\\\\.)*)\"");
    std::vector<std::string> found;
    for (std::sregex_iterator it(code.begin(), code.end(), literal), end; it != end; ++it) {
        found.push_back((*it)[1].str());
    }
    return found;
}

// The argument text of every call of `function` in the code (up to its closing parenthesis).
std::vector<std::string> callArguments(const std::string& code, const std::string& function) {
    std::vector<std::string> arguments;
    std::string opening = function + "(";
    for (size_t at = code.find(opening); at != std::string::npos; at = code.find(opening, at + 1)) {
        size_t start = at + opening.size();
        int depth = 1;
        size_t i = start;
        bool quoted = false;
        for (; i < code.size() && depth > 0; ++i) {
            char c = code[i];
            if (quoted) {
                if (c == '\\') {
                    ++i;
                } else if (c == '"') {
                    quoted = false;
                }
            } else if (c == '"') {
                quoted = true;
            } else if (c == '(') {
                ++depth;
            } else if (c == ')') {
                --depth;
            }
        }
        arguments.push_back(code.substr(start, i - 1 - start));
    }
    return arguments;
}

struct Sources {
    std::map<std::string, std::string> files; // path under the source folder -> text
};

Sources appSources() {
    Sources sources;
    fs::path root(DX_SOURCE_DIR);
    for (const char* folder : {"Classes", "Libraries"}) {
        for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
            auto ext = entry.path().extension();
            if (entry.is_regular_file() && (ext == ".cpp" || ext == ".h")) {
                sources.files[fs::relative(entry.path(), root).string()] = readFile(entry.path());
            }
        }
    }
    return sources;
}

Ref<NSDictionary> bundlePropertyList(const char* name) {
    auto data = NSData::dataWithContentsOfFile(NSString::from(std::string(DX_RESOURCES_DIR) + "/" + name));
    return data ? cast<NSDictionary>(
                      NSPropertyListSerialization::propertyListWithDataOptionsFormatError(data, 0, nullptr, nullptr))
                : nullptr;
}

// The names an argument that is not a literal stands for, by file; a call not listed here that
// passes no literal is an error.
std::map<std::string, std::set<std::string>> namesOfVariables(const Sources& sources) {
    std::map<std::string, std::set<std::string>> names;
    // Each test's icon: the catalogue's, and the manual tests' own.
    std::set<std::string> icons;
    auto catalogue = bundlePropertyList("ItemList.plist");
    if (catalogue) {
        for (const auto& [key, value] : *catalogue) {
            auto item = cast<NSDictionary>(value);
            if (auto icon = item ? cast<NSString>(item->objectForKey("icon"_ns)) : nullptr) {
                icons.insert(icon->str());
            }
        }
    }
    // A record given a fixed icon (a record from the catalogue copies the item's).
    static const std::regex fixed(R"re(^\s*(NSString::from\()?"([^"]*)"(_ns)?\)?\s*$)re");
    for (const auto& [file, code] : sources.files) {
        for (const auto& argument : callArguments(code, "->setIcon")) {
            std::smatch match;
            if (std::regex_match(argument, match, fixed)) {
                icons.insert(match[2].str());
            }
        }
    }
    EXPECT_TRUE(icons.count("icon_logo-1")) << "the manual tests' icon was not found in the sources";
    names["Classes/Core/DXStartViewController.cpp"] = icons;
    names["Classes/Shell/DXResultTableViewCell.cpp"] = icons;
    names["Classes/Shell/DXRootTableViewCell.cpp"] = icons;
    // The Home key screen's flag.
    for (const auto& argument :
         callArguments(sources.files.at("Classes/Diagnostics/TouchKeys/HomeKeyViewController.cpp"), "showFlag")) {
        for (const auto& name : literals(argument)) {
            names["Classes/Diagnostics/TouchKeys/HomeKeyViewController.cpp"].insert(name);
        }
    }
    // The axis tests' hints, named in their texts.
    for (const char* file : {"Classes/Diagnostics/Sensors/AccelerometerViewController.cpp",
                             "Classes/Diagnostics/Sensors/GyroscopeViewController.cpp"}) {
        for (const auto& name : literals(sources.files.at(file))) {
            if (name.rfind("PNG_", 0) == 0) {
                names["Classes/Diagnostics/Sensors/AxisTestViewController.cpp"].insert(name);
            }
        }
    }
    // The launch images of the info dictionary (the splash page).
    auto& launch = names["Classes/Shell/AppDelegate.cpp"];
    if (auto info = bundlePropertyList("Info.plist")) {
        if (auto images = cast<NSArray>(info->objectForKey("UILaunchImages"_ns))) {
            for (const id& item : *images) {
                auto entry = cast<NSDictionary>(item);
                if (auto name = entry ? cast<NSString>(entry->objectForKey("UILaunchImageName"_ns)) : nullptr) {
                    launch.insert(name->str());
                }
            }
        }
    }
    return names;
}

class BundleImagesTests : public PlatformTestCase {};

TEST_F(BundleImagesTests, EveryImageTheAppAsksForIsShippedAtEveryScaleAndLoads) {
    auto sources = appSources();
    ASSERT_GT(sources.files.size(), 100u) << "the app's sources were not found under " << DX_SOURCE_DIR;
    auto variables = namesOfVariables(sources);
    std::map<std::string, std::string> asked; // name -> where it is asked for
    for (const auto& [file, code] : sources.files) {
        for (const auto& argument : callArguments(code, "imageNamed")) {
            auto names = literals(argument);
            if (names.empty()) {
                auto it = variables.find(file);
                ASSERT_NE(it, variables.end()) << file << " asks for an image by a name built at run time (\""
                                               << argument << "\"): cover its names in this test";
                for (const auto& name : it->second) {
                    asked.emplace(name, file + " (" + argument + ")");
                }
                continue;
            }
            for (const auto& name : names) {
                asked.emplace(name, file);
            }
        }
    }
    // The catalogue's icons alone are some fifty.
    EXPECT_GT(asked.size(), 70u);

    std::vector<fs::path> folders{fs::path(DX_RESOURCES_DIR), fs::path(DX_RESOURCES_DIR) / "Images"};
    auto shipped = [&](const std::string& file) {
        for (const auto& folder : folders) {
            if (fs::is_regular_file(folder / file)) {
                return true;
            }
        }
        return false;
    };
    for (const auto& [name, where] : asked) {
        for (const char* suffix : {"", "@2x", "@3x"}) {
            EXPECT_TRUE(shipped(name + suffix + ".png"))
                << "\"" << name << "\" (asked for in " << where << ") has no " << name << suffix << ".png";
        }
    }
    for (const char* profile : {"iPhone7,2", "iPhone10,3"}) {
        ASSERT_TRUE(SimDevice::current().loadProfile(profile));
        UIImage::setSearchFolders({folders[0].string(), folders[1].string()}); // a fresh cache
        for (const auto& [name, where] : asked) {
            auto image = UIImage::imageNamed(NSString::from(name));
            EXPECT_TRUE(image) << "\"" << name << "\" (asked for in " << where << ") does not load on " << profile;
        }
    }
    EXPECT_TRUE(UIImage::namesNotFound().empty());
}

TEST_F(BundleImagesTests, TheScanFindsLiteralsInEveryFormOfCall) {
    auto arguments = callArguments(
        "a(UIImage::imageNamed(\"one\"_ns)); b(UIImage::imageNamed(NSString::from(held ? \"two\" : \"th(r)ee\")));"
        " c(UIImage::imageNamed(icon));",
        "imageNamed");
    ASSERT_EQ(arguments.size(), 3u);
    EXPECT_EQ(literals(arguments[0]), (std::vector<std::string>{"one"}));
    EXPECT_EQ(literals(arguments[1]), (std::vector<std::string>{"two", "th(r)ee"}));
    EXPECT_TRUE(literals(arguments[2]).empty());
}

} // namespace
