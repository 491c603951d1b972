#include "engine/writers/obj_triangles.hpp"

#include <charconv>
#include <cstdint>
#include <vector>

namespace vexo {
namespace {

bool Blank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

// The words of one line, without allocating.
struct Line {
    std::string_view words[8];
    int count = 0;
    bool overflow = false;
};

Line Split(std::string_view line) {
    Line out;
    std::size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && Blank(line[at])) ++at;
        const std::size_t start = at;
        while (at < line.size() && !Blank(line[at])) ++at;
        if (at == start) break;
        if (out.count == 8) {
            out.overflow = true;
            break;
        }
        out.words[out.count++] = line.substr(start, at - start);
    }
    return out;
}

bool Number(std::string_view word, double& value) {
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    return error == std::errc() && end == word.data() + word.size();
}

// A face corner's vertex: "i", "i/t", "i/t/n" or "i//n", counted from 1, or from the end when
// negative.
bool Corner(std::string_view word, std::size_t vertices, std::uint32_t& index) {
    const std::string_view first = word.substr(0, word.find('/'));
    long long i = 0;
    const auto [end, error] = std::from_chars(first.data(), first.data() + first.size(), i);
    if (error != std::errc() || end != first.data() + first.size() || i == 0) return false;
    const long long n = static_cast<long long>(vertices);
    const long long zero_based = i > 0 ? i - 1 : n + i;
    if (zero_based < 0 || zero_based >= n) return false;
    index = static_cast<std::uint32_t>(zero_based);
    return true;
}

}  // namespace

bool ReadObjTriangles(std::string_view text, Mesh& mesh) {
    std::vector<float> points;  // the file's vertices
    std::vector<std::uint32_t> corners;
    bool faces = false;
    int names = 0, materials = 0;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\\') return false;  // a line continued on the next
        const std::size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string_view::npos || line[first] == '#') continue;
        const Line words = Split(line);
        if (words.overflow) return false;
        const std::string_view kind = words.words[0];
        if (kind == "v") {
            if (words.count != 4 && words.count != 7) return false;
            for (int i = 1; i < words.count; ++i) {
                double value = 0;
                if (!Number(words.words[i], value)) return false;
                if (i <= 3) points.push_back(static_cast<float>(value));
            }
        } else if (kind == "f") {
            if (words.count != 4) return false;
            for (int i = 1; i < 4; ++i) {
                std::uint32_t index = 0;
                if (!Corner(words.words[i], points.size() / 3, index)) return false;
                corners.push_back(index);
            }
            faces = true;
        } else if (kind == "o" || kind == "g") {
            if (faces || ++names > 1) return false;
        } else if (kind == "usemtl") {
            if (faces || ++materials > 1) return false;
        } else if (kind != "vt" && kind != "vn" && kind != "vp" && kind != "s" && kind != "mtllib") {
            return false;
        }
    }
    if (!faces) return false;
    // The vertices in the order the faces first use them: the order the library lists them in
    // (it makes one per corner), without the repeats, which are joined later anyway.
    mesh = Mesh{};
    std::vector<std::uint32_t> listed(points.size() / 3, 0xFFFFFFFFu);
    mesh.indices.reserve(corners.size());
    for (std::uint32_t v : corners) {
        if (listed[v] == 0xFFFFFFFFu) {
            listed[v] = static_cast<std::uint32_t>(mesh.positions.size() / 3);
            mesh.positions.insert(
                mesh.positions.end(),
                {points[3 * std::size_t{v}], points[3 * std::size_t{v} + 1], points[3 * std::size_t{v} + 2]});
        }
        mesh.indices.push_back(listed[v]);
    }
    return true;
}

}  // namespace vexo
