// NSURL, NSURLComponents and NSURLQueryItem: URLs parsed by the generic syntax of RFC 3986, with
// reference resolution against a base URL (section 5, dot segments removed).
//
// Component getters of NSURL answer the components of the absolute (resolved) URL. `path`, `user`,
// `password` and `host` are percent-decoded; `query` and `fragment` stay as written. nil stands for
// an absent component, "" for an empty one ("http://h/?" has the query "").
#pragma once

#include <Foundation/NSArray.h>
#include <Foundation/NSString.h>

#include <optional>
#include <string>
#include <string_view>

class NSNumber;
class NSURLComponents;

namespace ns_url {
// One URL reference split into its components, all still percent-encoded.
struct Parts {
    std::optional<std::string> scheme;
    bool hasAuthority = false; // "//" present
    std::optional<std::string> user;
    std::optional<std::string> password;
    std::string host;
    std::optional<std::string> port; // digits only; may be empty ("http://h:/")
    std::string path;
    std::optional<std::string> query;
    std::optional<std::string> fragment;

    // Splits a reference; nullopt when it breaks the grammar (characters outside the URL alphabet,
    // a bad percent escape, a non-numeric port, a bad scheme).
    static std::optional<Parts> parse(std::string_view text);
    std::string authority() const;
    std::string toString() const;
    // RFC 3986 section 5.2.2: this reference resolved against `base`.
    Parts resolvedAgainst(const Parts& base) const;
    bool operator==(const Parts&) const = default;
};
// RFC 3986 section 5.2.4.
std::string removeDotSegments(std::string_view path);
} // namespace ns_url

class NSURL : public NSObject {
    NS_OBJECT(NSURL, NSObject)
public:
    // Use the factories (URLWithString... answer nil for invalid text).
    NSURL(ns_url::Parts relative, Ref<NSURL> base);

    static Ref<NSURL> URLWithString(const Ref<NSString>& string);
    // The reference resolved against `baseURL` (absoluteString/absoluteURL); relativeString keeps
    // the reference itself. A nil base behaves as URLWithString.
    static Ref<NSURL> URLWithStringRelativeToURL(const Ref<NSString>& string, const Ref<NSURL>& baseURL);
    // "file://" + the percent-encoded absolute path (a relative path is taken from the current
    // directory); a trailing "/" is added when the path names an existing directory.
    static Ref<NSURL> fileURLWithPath(const Ref<NSString>& path);
    static Ref<NSURL> fileURLWithPathIsDirectory(const Ref<NSString>& path, bool isDirectory);

    Ref<NSString> absoluteString() const;
    Ref<NSURL> absoluteURL() const;
    const Ref<NSURL>& baseURL() const noexcept { return base_; }
    Ref<NSString> relativeString() const;
    // The decoded path of the reference itself (without the base).
    Ref<NSString> relativePath() const;

    Ref<NSString> scheme() const;
    Ref<NSString> host() const;
    // nil when the URL has no port.
    Ref<NSNumber> port() const;
    Ref<NSString> user() const;
    Ref<NSString> password() const;
    // Decoded; a trailing "/" is dropped (but "/" stays "/"). "" when there is no path.
    Ref<NSString> path() const;
    Ref<NSString> query() const;
    Ref<NSString> fragment() const;
    // Everything after "scheme:".
    Ref<NSString> resourceSpecifier() const;
    bool hasDirectoryPath() const;
    bool isFileURL() const;

    Ref<NSString> lastPathComponent() const;
    Ref<NSString> pathExtension() const;
    Ref<NSArray> pathComponents() const;
    // The component is percent-encoded for a path; "/" separates at most once. Query and fragment
    // are kept. The result is absolute.
    Ref<NSURL> URLByAppendingPathComponent(const Ref<NSString>& component) const;
    Ref<NSURL> URLByAppendingPathExtension(const Ref<NSString>& extension) const;
    Ref<NSURL> URLByDeletingLastPathComponent() const;
    Ref<NSURL> URLByDeletingPathExtension() const;
    // Dot segments removed from the path.
    Ref<NSURL> standardizedURL() const;

    const ns_url::Parts& absoluteParts() const noexcept { return absolute_; }
    const ns_url::Parts& relativeParts() const noexcept { return relative_; }

    // Equal relative strings and equal bases.
    bool isEqual(const id& other) const override;
    NSUInteger hash() const override;
    // The absolute string, or "<relative> -- <base>" for a URL with a base.
    Ref<NSString> description() const override;
    id copy() const override;

private:
    Ref<NSURL> withAbsolutePath(const std::string& encodedPath) const;

    ns_url::Parts relative_;
    ns_url::Parts absolute_;
    Ref<NSURL> base_;
};

class NSURLQueryItem : public NSObject {
    NS_OBJECT(NSURLQueryItem, NSObject)
public:
    // `initWithName:value:`; the value may be nil ("name" with no "=").
    NSURLQueryItem(const Ref<NSString>& name, const Ref<NSString>& value);
    static Ref<NSURLQueryItem> queryItemWithNameValue(const Ref<NSString>& name, const Ref<NSString>& value);

    const Ref<NSString>& name() const noexcept { return name_; }
    const Ref<NSString>& value() const noexcept { return value_; }

    bool isEqual(const id& other) const override;
    NSUInteger hash() const override;
    Ref<NSString> description() const override;
    id copy() const override;

private:
    Ref<NSString> name_;
    Ref<NSString> value_;
};

// A URL assembled and taken apart by component. The plain accessors are decoded (setters encode
// what the component does not allow); the percentEncoded* accessors read and write the text as it
// stands in the URL.
class NSURLComponents : public NSObject {
    NS_OBJECT(NSURLComponents, NSObject)
public:
    NSURLComponents() = default;
    explicit NSURLComponents(ns_url::Parts parts) : parts_(std::move(parts)) {}

    static Ref<NSURLComponents> components();
    // nil for text that is not a URL reference.
    static Ref<NSURLComponents> componentsWithString(const Ref<NSString>& string);
    // nil for a nil URL; with `resolve`, the URL's absolute form is taken apart.
    static Ref<NSURLComponents> componentsWithURLResolvingAgainstBaseURL(const Ref<NSURL>& url, bool resolve);

    // nil when the components do not form a valid URL (e.g. a path without "/" after an authority).
    Ref<NSURL> URL() const;
    Ref<NSURL> URLRelativeToURL(const Ref<NSURL>& baseURL) const;
    Ref<NSString> string() const;

    Ref<NSString> scheme() const;
    // Raises NSInvalidArgumentException for an invalid scheme.
    void setScheme(const Ref<NSString>& scheme);
    Ref<NSString> user() const;
    void setUser(const Ref<NSString>& user);
    Ref<NSString> password() const;
    void setPassword(const Ref<NSString>& password);
    Ref<NSString> host() const;
    void setHost(const Ref<NSString>& host);
    Ref<NSNumber> port() const;
    // Raises NSInvalidArgumentException for a negative port.
    void setPort(const Ref<NSNumber>& port);
    Ref<NSString> path() const;
    void setPath(const Ref<NSString>& path);
    Ref<NSString> query() const;
    void setQuery(const Ref<NSString>& query);
    Ref<NSString> fragment() const;
    void setFragment(const Ref<NSString>& fragment);

    Ref<NSString> percentEncodedUser() const;
    void setPercentEncodedUser(const Ref<NSString>& user);
    Ref<NSString> percentEncodedPassword() const;
    void setPercentEncodedPassword(const Ref<NSString>& password);
    Ref<NSString> percentEncodedHost() const;
    void setPercentEncodedHost(const Ref<NSString>& host);
    Ref<NSString> percentEncodedPath() const;
    void setPercentEncodedPath(const Ref<NSString>& path);
    Ref<NSString> percentEncodedQuery() const;
    void setPercentEncodedQuery(const Ref<NSString>& query);
    Ref<NSString> percentEncodedFragment() const;
    void setPercentEncodedFragment(const Ref<NSString>& fragment);

    // The query split at "&" into items, split at the first "=" and decoded; nil without a query.
    Ref<NSArray> queryItems() const;
    // Names and values are encoded for a query, with "&", "=" (names) and "&" (values) escaped too;
    // nil removes the query.
    void setQueryItems(const Ref<NSArray>& items);
    Ref<NSArray> percentEncodedQueryItems() const;
    // Raises NSInvalidArgumentException when an item holds a character that is not allowed.
    void setPercentEncodedQueryItems(const Ref<NSArray>& items);

    const ns_url::Parts& parts() const noexcept { return parts_; }

    bool isEqual(const id& other) const override;
    NSUInteger hash() const override;
    Ref<NSString> description() const override;
    id copy() const override;

private:
    ns_url::Parts parts_;
};
