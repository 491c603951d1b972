// Base64 (RFC 4648, with padding) of a byte stream that arrives in pieces of any size.
#pragma once

#include <cstddef>
#include <string>

namespace vexo {

class Base64Encoder {
  public:
    // Appends the text of every complete group of three bytes; up to two bytes wait for more.
    void Append(const unsigned char* data, std::size_t size, std::string& out);
    // Appends the last group, padded with '='.
    void Finish(std::string& out);

  private:
    unsigned char held_[2] = {0, 0};
    std::size_t held_count_ = 0;
};

}  // namespace vexo
