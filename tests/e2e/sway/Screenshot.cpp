#include "Screenshot.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace tavrel::e2e {
namespace {

struct CloseProcess {
    void operator()(FILE* f) const { pclose(f); }
};

// The words are paths and numbers the tests make: no quoting needed.
std::string grim(const std::vector<std::string>& environment, const std::string& arguments) {
    std::string command = "env";
    for (const std::string& assignment : environment)
        command += " " + assignment;
    return command + " grim " + arguments;
}

// Reads a binary PPM (P6, 8 bits per channel) header's next number.
bool number(FILE* in, int& value) {
    int c = std::fgetc(in);
    while (c == ' ' || c == '\n' || c == '\t' || c == '\r')
        c = std::fgetc(in);
    if (c < '0' || c > '9')
        return false;
    value = 0;
    while (c >= '0' && c <= '9') {
        value = value * 10 + (c - '0');
        if (value > 100000)
            return false;
        c = std::fgetc(in);
    }
    return true;  // the one whitespace character after the number is consumed
}

}  // namespace

std::optional<Screenshot> Screenshot::take(const std::vector<std::string>& environment, int x,
                                           int y, int width, int height) {
    const std::string region = "-g '" + std::to_string(x) + "," + std::to_string(y) + " " +
                               std::to_string(width) + "x" + std::to_string(height) + "'";
    std::unique_ptr<FILE, CloseProcess> in(
        popen(grim(environment, "-t ppm " + region + " - 2>/dev/null").c_str(), "r"));
    Screenshot shot;
    int maximum = 0;
    if (!in || std::fgetc(in.get()) != 'P' || std::fgetc(in.get()) != '6' ||
        !number(in.get(), shot.width) || !number(in.get(), shot.height) ||
        !number(in.get(), maximum) || maximum != 255)
        return std::nullopt;
    const std::size_t count =
        static_cast<std::size_t>(shot.width) * static_cast<std::size_t>(shot.height);
    std::vector<unsigned char> rgb(count * 3);
    if (std::fread(rgb.data(), 1, rgb.size(), in.get()) != rgb.size())
        return std::nullopt;
    shot.pixels.resize(count);
    for (std::size_t i = 0; i < count; ++i)
        shot.pixels[i] = (std::uint32_t{rgb[3 * i]} << 16) | (std::uint32_t{rgb[3 * i + 1]} << 8) |
                         rgb[3 * i + 2];
    return shot;
}

bool Screenshot::save(const std::vector<std::string>& environment, const std::string& file) {
    return std::system(grim(environment, file + " 2>/dev/null").c_str()) == 0;
}

}  // namespace tavrel::e2e
