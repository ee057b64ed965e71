// zv_make_library --demo <folder>: writes the demo music library.
// zv_make_library --default-art <file>: writes a picture for tracks without a cover.
// zv_make_library --dense <file> <seconds>: writes a 320 kbps track of dense music-like sound.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "tools/dense_track.h"
#include "tools/fixtures.h"

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--default-art") == 0) {
        // The art control's size, so the picture fills it as a cover would.
        const std::vector<unsigned char> jpeg = zv::fixtures::make_cover_jpeg(250, 232, 2026);
        std::ofstream out(argv[2], std::ios::binary);
        out.write(reinterpret_cast<const char*>(jpeg.data()), static_cast<std::streamsize>(jpeg.size()));
        return (!jpeg.empty() && out.good()) ? 0 : 1;
    }
    if (argc == 4 && std::strcmp(argv[1], "--dense") == 0) {
        const int seconds = std::atoi(argv[3]);
        return (seconds > 0 && zv::fixtures::write_dense_track_to(argv[2], seconds)) ? 0 : 1;
    }
    if (argc != 3 || std::strcmp(argv[1], "--demo") != 0) {
        std::fprintf(stderr, "usage: %s --demo <folder> | --default-art <file> | --dense <file> <seconds>\n",
                     argc > 0 ? argv[0] : "zv_make_library");
        return 2;
    }
    const int n = zv::fixtures::write_demo_library(argv[2]);
    std::printf("%d tracks written under %s\n", n, argv[2]);
    return n > 0 ? 0 : 1;
}
