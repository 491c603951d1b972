#include "engine/writers/json_writer.hpp"

#include <charconv>
#include <cmath>

namespace vexo {

void JsonWriter::BeforeValue() {
    if (after_key_) {
        after_key_ = false;
        return;
    }
    if (!first_.empty()) {
        if (!first_.back()) text_ += ',';
        first_.back() = false;
    }
}

void JsonWriter::BeginObject() {
    BeforeValue();
    text_ += '{';
    first_.push_back(true);
}

void JsonWriter::EndObject() {
    text_ += '}';
    first_.pop_back();
}

void JsonWriter::BeginArray() {
    BeforeValue();
    text_ += '[';
    first_.push_back(true);
}

void JsonWriter::EndArray() {
    text_ += ']';
    first_.pop_back();
}

void JsonWriter::Key(std::string_view name) {
    String(name);
    text_ += ':';
    after_key_ = true;
}

void JsonWriter::String(std::string_view text) {
    BeforeValue();
    text_ += '"';
    const auto plain = [](char c) { return c != '"' && c != '\\' && static_cast<unsigned char>(c) >= 0x20; };
    for (std::size_t i = 0; i < text.size();) {
        std::size_t run = i;
        while (run < text.size() && plain(text[run])) ++run;
        text_.append(text.data() + i, run - i);  // UTF-8 passes through as it is
        if (run == text.size()) break;
        const char c = text[run];
        if (c == '"' || c == '\\') {
            text_ += '\\';
            text_ += c;
        } else {
            static constexpr char kHex[] = "0123456789abcdef";
            const auto byte = static_cast<unsigned char>(c);
            text_ += "\\u00";
            text_ += kHex[byte >> 4];
            text_ += kHex[byte & 15];
        }
        i = run + 1;
    }
    text_ += '"';
}

void JsonWriter::Int(std::int64_t value) {
    BeforeValue();
    char buffer[24];
    text_.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

void JsonWriter::UInt(std::uint64_t value) {
    BeforeValue();
    char buffer[24];
    text_.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

void JsonWriter::Double(double value) {
    BeforeValue();
    if (!std::isfinite(value)) {
        failed_ = true;
        text_ += '0';
        return;
    }
    char buffer[32];
    text_.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

void JsonWriter::ContinueArray(bool has_members) {
    first_.push_back(!has_members);
}

void JsonWriter::Float(float value) {
    BeforeValue();
    if (!std::isfinite(value)) {
        failed_ = true;
        text_ += '0';
        return;
    }
    char buffer[32];
    text_.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

void JsonWriter::RawValue(std::string_view text) {
    BeforeValue();
    text_ += text;
}

}  // namespace vexo
