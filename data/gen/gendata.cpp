// Generates the program's default data files: the character and balloon pictures, the
// calendar background, the sounds, the help, the version history and the product page.
// Everything is drawn or synthesised here, and the output is the same bytes on every run.
//
// Build and run from the repository root:
//   g++ -std=c++20 -O2 -Wall -Wextra -Wpedantic -Werror data/gen/*.cpp -o /tmp/gendata
//   /tmp/gendata data
#include "gen.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace {

void writeFile(const std::string& dir, const std::string& name, const std::string& bytes) {
    std::string path = dir + "/" + name;
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!f.flush()) {
        throw std::runtime_error("cannot write " + path);
    }
    std::printf("%-14s %7zu bytes\n", name.c_str(), bytes.size());
}

// The shaped windows rely on these: the key colour is read from the top-left pixel, and the
// left-most column is never shown.
void checkKeyed(const gen::Picture& p, const char* name) {
    bool ok = p.at(0, 0) == gen::kKey;
    for (int y = 0; y < p.height; ++y) {
        ok = ok && p.at(0, y) == gen::kKey;
    }
    if (!ok) {
        throw std::logic_error(std::string(name) + ": left column must be key colour");
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    try {
        std::string dir = argv[1];
        gen::Picture person = gen::drawCharacter();
        checkKeyed(person, "pikprsn.bmp");
        writeFile(dir, "pikprsn.bmp", gen::encodeBmp(person));
        gen::Picture balloon = gen::drawBalloon();
        checkKeyed(balloon, "fukidasi.bmp");
        writeFile(dir, "fukidasi.bmp", gen::encodeBmp(balloon));
        writeFile(dir, "back.bmp", gen::encodeBmp(gen::drawCalendarBack()));
        writeFile(dir, "chime.wav", gen::encodeWav(gen::chimeSound()));
        writeFile(dir, "alarm.wav", gen::encodeWav(gen::alarmSound()));
        writeFile(dir, "mail.wav", gen::encodeWav(gen::mailSound()));
        writeFile(dir, "help.rtf", gen::helpRtf());
        writeFile(dir, "Version.txt", gen::versionText());
        writeFile(dir, "index.html", gen::indexHtml());
        // Compiled into the program, so it lives apart from the files copied to the user.
        std::filesystem::create_directories(dir + "/res");
        writeFile(dir, "res/helpprsn.bmp", gen::encodeBmp(gen::drawPortrait()));
        // Her icon for the desktop's menus and every window; installed, never copied to the user.
        std::filesystem::create_directories(dir + "/icons");
        for (int size : {16, 24, 32, 48, 64, 128, 256}) {
            writeFile(dir, "icons/nagomi-" + std::to_string(size) + ".png",
                      gen::encodePng(gen::drawIcon(size)));
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "gendata: %s\n", e.what());
        return 1;
    }
    return 0;
}
