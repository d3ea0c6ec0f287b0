// NSBundle: the app's read-only resources, its info dictionary and its string tables.
//
// The main bundle is the sandbox's bundle folder (Resources/ beside the sources unless the
// simulator or a test sets another, see NSSandbox). Its resources sit at its top level and in
// "<language>.lproj" folders; string tables are "<language>.lproj/<table>.strings".
//
// Language: a bundle's texts come from the first of these that it has a folder for: the language
// override (process-wide, set by the app's language switch), the development language ("en"),
// "Base"; a table found in none of them is read from the bundle's top level (so a bundle made from
// an ".lproj" folder answers that folder's tables).
#pragma once

#include <Foundation/NSArray.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSString.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

class NSURL;

class NSBundle : public NSObject {
    NS_OBJECT(NSBundle, NSObject)
public:
    // `initWithPath:`; use bundleWithPath, which answers one object per folder.
    explicit NSBundle(Ref<NSString> path);

    static Ref<NSBundle> mainBundle();
    // The bundle of a folder (the same object for the same folder), nil when it is not a folder.
    static Ref<NSBundle> bundleWithPath(const Ref<NSString>& path);

    // The language whose tables every bundle reads first (nil: none). The language switch calls it.
    static void setLanguageOverride(const Ref<NSString>& language);
    static Ref<NSString> languageOverride();

    const Ref<NSString>& bundlePath() const noexcept { return path_; }
    const Ref<NSString>& resourcePath() const noexcept { return path_; }
    // CFBundleIdentifier of the info dictionary.
    Ref<NSString> bundleIdentifier() const;
    // Info.plist at the bundle's top level (empty when there is none).
    Ref<NSDictionary> infoDictionary() const;
    id objectForInfoDictionaryKey(const Ref<NSString>& key) const;

    // The path of "<name>.<type>" (type may be empty or nil, or name nil for the first file of the
    // type) at the top level of the bundle (or of `subpath` in it), else in the folder of the
    // bundle's language; nil when there is none. Folders count, so ("fr", "lproj") finds fr.lproj.
    Ref<NSString> pathForResourceOfType(const Ref<NSString>& name, const Ref<NSString>& type) const;
    Ref<NSString> pathForResourceOfTypeInDirectory(const Ref<NSString>& name, const Ref<NSString>& type,
                                                   const Ref<NSString>& subpath) const;
    // Every file of the type in the folder (top level of the bundle when subpath is nil), sorted.
    Ref<NSArray> pathsForResourcesOfTypeInDirectory(const Ref<NSString>& type, const Ref<NSString>& subpath) const;
    Ref<NSURL> URLForResourceWithExtension(const Ref<NSString>& name, const Ref<NSString>& extension) const;

    // The text for `key` in the table (nil or empty: "Localizable"); when there is none, `value`
    // unless it is nil or empty, and then the key itself.
    virtual Ref<NSString> localizedStringForKeyValueTable(const Ref<NSString>& key, const Ref<NSString>& value,
                                                          const Ref<NSString>& tableName) const;

    // The languages the bundle has folders for, sorted.
    Ref<NSArray> localizations() const;
    // The language its texts come from (empty when it has no language folder).
    Ref<NSArray> preferredLocalizations() const;
    // CFBundleDevelopmentRegion, else "en".
    Ref<NSString> developmentLocalization() const;

    Ref<NSString> description() const override;

    // Parses the text of a ".strings" table: `"key" = "value";` lines with /* */ and // comments and
    // the escapes \" \\ \n \t \r \uXXXX \UXXXX (UTF-8 or UTF-16 with a byte-order mark), or a
    // property-list dictionary of strings. False (and a reason) when it is malformed.
    static bool parseStringsTable(const std::string& bytes, std::unordered_map<std::string, std::string>& out,
                                  std::string& reason);

private:
    using Table = std::unordered_map<std::string, std::string>;
    std::shared_ptr<const Table> table(const std::string& file) const;
    std::string language() const;

    Ref<NSString> path_;
    mutable std::mutex lock_;
    mutable Ref<NSDictionary> info_;
    mutable std::map<std::string, std::shared_ptr<const Table>> tables_;
    // The language found for an override ("" for none): a bundle's folders, like its tables, are
    // read once.
    mutable std::map<std::string, std::string> languages_;
};

// `NSLocalizedString(key, comment)`: the main bundle's Localizable table, the key when missing.
Ref<NSString> NSLocalizedString(const Ref<NSString>& key, const Ref<NSString>& comment);
Ref<NSString> NSLocalizedStringFromTable(const Ref<NSString>& key, const Ref<NSString>& table,
                                         const Ref<NSString>& comment);
