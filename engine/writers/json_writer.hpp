// A small streaming JSON writer: objects, arrays, strings, integers and doubles, with the
// commas placed for the caller. Text collects in a buffer that the owner drains whenever it
// likes, so a document of any size needs only the buffer's memory. Knows nothing of files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexo {

class JsonWriter {
  public:
    void BeginObject();
    void EndObject();
    void BeginArray();
    void EndArray();
    // The name of the next member of the open object.
    void Key(std::string_view name);
    void String(std::string_view text);
    void Int(std::int64_t value);
    void UInt(std::uint64_t value);
    // The shortest decimal that reads back as the same double. A value that is not finite has
    // no JSON form: it is written as 0 and the writer counts as failed.
    void Double(double value);
    // The shortest decimal that reads back as the same float (as single precision); otherwise
    // as Double.
    void Float(float value);
    // Raw text in place of one value (e.g. the start of a string written in pieces).
    void RawValue(std::string_view text);
    // Goes on with members of an array opened elsewhere: its '[' is not written here, and with
    // `has_members` the first value is preceded by a comma.
    void ContinueArray(bool has_members);

    bool failed() const { return failed_; }
    // The text written and not yet taken.
    std::string& text() { return text_; }

  private:
    void BeforeValue();

    std::string text_;
    std::vector<bool> first_;  // per open object or array: no member written yet
    bool after_key_ = false;
    bool failed_ = false;
};

}  // namespace vexo
