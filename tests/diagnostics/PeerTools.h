// The independent readers the image-file tests check written files with:
// tiffinfo and djpeg, and Pillow under /usr/bin/python3.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace peer {

inline bool HaveTool(std::string const& tool)
{
    return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

inline bool HavePillow() { return std::system("/usr/bin/python3 -c 'import PIL' 2>/dev/null") == 0; }

// Standard output (and error, when asked in the command) of a shell command.
inline std::string Run(std::string const& command)
{
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return out;
    }
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        out.append(buffer, n);
    }
    pclose(pipe);
    return out;
}

// tiffinfo's report with every strip read back (-D), errors and warnings
// included.
inline std::string TiffInfo(std::string const& path) { return Run("tiffinfo -D '" + path + "' 2>&1"); }

inline size_t Count(std::string const& text, std::string const& what)
{
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

// What Pillow reads of image number frame of a file: one line
// "<mode> <width> <height> <x dpi> <y dpi>", then the pixels as hex.
struct PillowImage {
    std::string mode;
    int width = 0;
    int height = 0;
    double dpiX = 0;
    double dpiY = 0;
    std::vector<unsigned char> pixels;
};

inline PillowImage ReadWithPillow(std::string const& path, int frame = 0)
{
    std::string const script =
        "import sys\n"
        "from PIL import Image\n"
        "im = Image.open(sys.argv[1])\n"
        "im.seek(int(sys.argv[2]))\n"
        "dpi = im.info.get('dpi', (0, 0))\n"
        "print(im.mode, im.size[0], im.size[1], float(dpi[0]), float(dpi[1]))\n"
        "print(im.tobytes().hex())\n";
    std::string const out =
        Run("/usr/bin/python3 -c \"" + script + "\" '" + path + "' " + std::to_string(frame) + " 2>&1");
    PillowImage image;
    char mode[16] = {};
    int consumed = 0;
    if (std::sscanf(out.c_str(), "%15s %d %d %lf %lf\n%n", mode, &image.width, &image.height, &image.dpiX, &image.dpiY,
                    &consumed) != 5) {
        image.mode = "error: " + out;
        return image;
    }
    image.mode = mode;
    for (size_t i = static_cast<size_t>(consumed); i + 1 < out.size() && out[i] != '\n'; i += 2) {
        image.pixels.push_back(static_cast<unsigned char>(std::stoi(out.substr(i, 2), nullptr, 16)));
    }
    return image;
}

}  // namespace peer
