// Text operations on "/"-separated paths and the few folders the engine needs.
// Stateless: any thread may call every operation.
#pragma once

#include <string>
#include <vector>

class Path {
public:
    // The value of HOME; empty when it is not set.
    static std::string GetDesktopDirectoryPath();
    // The root under which the engine keeps its temporary folder.
    static std::string GetTempDirectoryPath();
    // The working folder; empty when it cannot be read or is longer than 4,096 bytes.
    static std::string GetCurrentDirectoryPath();

    static bool IsRootPath(std::string const& path);
    static bool IsAbsolute(std::string const& path);
    // path when absolute, else path below the working folder.
    static std::string GetAbsolute(std::string const& path);
    static bool HasSuffix(std::string const& path, std::string const& suffix);
    // False for an empty extension, else whether path ends with "." + extension.
    static bool HasExtension(std::string const& path, std::string const& extension);
    // path without trailing separators; the root stays "/".
    static std::string RemoveSuffixedSeparatorIfNeeded(std::string const& path);
    // first and second joined by one separator; an empty part yields the other.
    static std::string Append(std::string const& first, std::string const& second);
    static std::string GetLastComponent(std::string const& path);
    // Empty for a bare name; "/" for a component right below the root.
    static std::string GetWithoutLastComponent(std::string const& path);
    // The non-empty pieces between separators, in order.
    static std::vector<std::string> Split(std::string const& path);
    // The pieces joined by separators, with nothing before the first.
    static std::string Join(std::vector<std::string> const& pieces);

    static constexpr char const* kSeparator = "/";
};
