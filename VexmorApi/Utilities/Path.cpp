// Path texts and the engine's standard folders.
#include "VexmorApi/Utilities/Path.h"

#include <unistd.h>

#include <cstdlib>

#include "vexmor_paths.h"

namespace {

constexpr size_t kMaxCurrentDirectory = 4096;

}  // namespace

std::string Path::GetDesktopDirectoryPath()
{
    char const* home = std::getenv("HOME");
    return home ? home : "";
}

std::string Path::GetTempDirectoryPath()
{
#ifdef VEXMOR_TEST_HOOKS
    // A test build lets a test keep the engine's temporary folders in a
    // folder of its own (an absolute path).
    char const* folder = std::getenv("VEXMOR_TEST_TEMP_DIR");
    if (folder != nullptr && folder[0] == '/') {
        return folder;
    }
#endif
    return VEXMOR_TEMP_DIR;
}

std::string Path::GetCurrentDirectoryPath()
{
    char buffer[kMaxCurrentDirectory];
    if (getcwd(buffer, sizeof buffer) == nullptr) {
        return "";
    }
    return buffer;
}

bool Path::IsRootPath(std::string const& path) { return path == kSeparator; }

bool Path::IsAbsolute(std::string const& path) { return !path.empty() && path[0] == '/'; }

std::string Path::GetAbsolute(std::string const& path)
{
    return IsAbsolute(path) ? path : Append(GetCurrentDirectoryPath(), path);
}

bool Path::HasSuffix(std::string const& path, std::string const& suffix)
{
    return path.size() >= suffix.size() && path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool Path::HasExtension(std::string const& path, std::string const& extension)
{
    return !extension.empty() && HasSuffix(path, "." + extension);
}

std::string Path::RemoveSuffixedSeparatorIfNeeded(std::string const& path)
{
    std::string result = path;
    while (result.size() > 1 && result.back() == '/') {
        result.pop_back();
    }
    return result;
}

std::string Path::Append(std::string const& first, std::string const& second)
{
    if (first.empty()) {
        return second;
    }
    if (second.empty()) {
        return first;
    }
    std::string const head = RemoveSuffixedSeparatorIfNeeded(first);
    return IsRootPath(head) ? head + second : head + kSeparator + second;
}

std::string Path::GetLastComponent(std::string const& path)
{
    if (path.empty()) {
        return path;
    }
    std::string const trimmed = RemoveSuffixedSeparatorIfNeeded(path);
    if (IsRootPath(trimmed)) {
        return trimmed;
    }
    size_t const slash = trimmed.rfind('/');
    return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

std::string Path::GetWithoutLastComponent(std::string const& path)
{
    std::string const trimmed = RemoveSuffixedSeparatorIfNeeded(path);
    if (IsRootPath(trimmed)) {
        return trimmed;
    }
    size_t const slash = trimmed.rfind('/');
    if (slash == std::string::npos) {
        return "";
    }
    if (slash == 0) {
        return kSeparator;
    }
    return trimmed.substr(0, slash);
}

std::vector<std::string> Path::Split(std::string const& path)
{
    std::vector<std::string> pieces;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        if (end > start) {
            pieces.push_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return pieces;
}

std::string Path::Join(std::vector<std::string> const& pieces)
{
    std::string result;
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (i != 0) {
            result += kSeparator;
        }
        result += pieces[i];
    }
    return result;
}
