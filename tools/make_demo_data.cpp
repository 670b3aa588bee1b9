// Writes the demo data file (three 15-bit pictures) and a bookmark file naming them, so that a
// newcomer sees a picture right after the first build:
//   colour bars  320 x 240 at address 0
//   gradient     256 x 192 at address 153600
//   rings        128 x 128 at address 251905 (odd: 251904 shows wrong colours until "Fix colors")
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::uint16_t rgb15(int r, int g, int b) {
    return static_cast<std::uint16_t>((r & 31) | (g & 31) << 5 | (b & 31) << 10);
}

void put(std::vector<char>& out, std::uint16_t word) {
    out.push_back(static_cast<char>(word & 0xFF));
    out.push_back(static_cast<char>(word >> 8));
}

void colourBars(std::vector<char>& out) {
    static const int bars[8][3] = {{31, 31, 31}, {31, 31, 0}, {0, 31, 31}, {0, 31, 0},
                                   {31, 0, 31},  {31, 0, 0},  {0, 0, 31},  {0, 0, 0}};
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            if (y < 180) {
                const int* c = bars[x / 40];
                put(out, rgb15(c[0], c[1], c[2]));
            } else {
                const int grey = x / 10;  // 32 steps of grey
                put(out, rgb15(grey, grey, grey));
            }
        }
}

void gradient(std::vector<char>& out) {
    for (int y = 0; y < 192; ++y)
        for (int x = 0; x < 256; ++x) put(out, rgb15(x / 8, y / 6, 31 - x / 8));
}

void rings(std::vector<char>& out) {
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            const int dx = x - 64, dy = y - 64;
            const int ring = static_cast<int>(std::sqrt(double(dx * dx + dy * dy)) / 8) % 4;
            static const int colours[4][3] = {{31, 16, 0}, {0, 20, 31}, {31, 31, 8}, {6, 0, 12}};
            put(out, rgb15(colours[ring][0], colours[ring][1], colours[ring][2]));
        }
}

}  // namespace

int main(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : ".";
    std::vector<char> data;
    colourBars(data);      // 0 .. 153599
    gradient(data);        // 153600 .. 251903
    data.push_back(0x55);  // one stray byte puts the next picture at an odd address
    rings(data);           // 251905 .. 284672

    std::ofstream bin(dir + "/demo.bin", std::ios::binary);
    bin.write(data.data(), static_cast<std::streamsize>(data.size()));
    std::ofstream marks(dir + "/demo-bookmarks.txt", std::ios::binary);
    marks << "Colour bars,0,320,240\r\n"
             "Gradient,153600,256,192\r\n"
             "Rings,251905,128,128\r\n"
             "Rings off by a byte,251904,128,128\r\n";
    if (!bin || !marks) {
        std::fprintf(stderr, "make_demo_data: cannot write into %s\n", dir.c_str());
        return 1;
    }
    return 0;
}
