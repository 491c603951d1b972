#include "engine/writers/base64.hpp"

namespace vexo {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

void AppendGroup(unsigned a, unsigned b, unsigned c, char* out) {
    const unsigned group = a << 16 | b << 8 | c;
    out[0] = kAlphabet[group >> 18 & 63];
    out[1] = kAlphabet[group >> 12 & 63];
    out[2] = kAlphabet[group >> 6 & 63];
    out[3] = kAlphabet[group & 63];
}

}  // namespace

void Base64Encoder::Append(const unsigned char* data, std::size_t size, std::string& out) {
    while (held_count_ > 0 && held_count_ < 3 && size > 0) {
        if (held_count_ == 2) {
            char text[4];
            AppendGroup(held_[0], held_[1], *data, text);
            out.append(text, 4);
            held_count_ = 0;
        } else {
            held_[held_count_++] = *data;
        }
        ++data;
        --size;
    }
    const std::size_t groups = size / 3;
    const std::size_t start = out.size();
    out.resize(start + 4 * groups);
    char* text = out.data() + start;
    for (std::size_t g = 0; g < groups; ++g, data += 3, text += 4)
        AppendGroup(data[0], data[1], data[2], text);
    for (std::size_t i = 0; i < size % 3; ++i) held_[held_count_++] = data[i];
}

void Base64Encoder::Finish(std::string& out) {
    if (held_count_ == 0) return;
    char text[4];
    AppendGroup(held_[0], held_count_ == 2 ? held_[1] : 0, 0, text);
    if (held_count_ == 1) text[2] = '=';
    text[3] = '=';
    out.append(text, 4);
    held_count_ = 0;
}

}  // namespace vexo
