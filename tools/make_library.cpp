// zv_make_library --demo <folder>: writes the demo music library.
#include <cstdio>
#include <cstring>

#include "tools/fixtures.h"

int main(int argc, char** argv)
{
    if (argc != 3 || std::strcmp(argv[1], "--demo") != 0) {
        std::fprintf(stderr, "usage: %s --demo <folder>\n", argc > 0 ? argv[0] : "zv_make_library");
        return 2;
    }
    const int n = zv::fixtures::write_demo_library(argv[2]);
    std::printf("%d tracks written under %s\n", n, argv[2]);
    return n > 0 ? 0 : 1;
}
