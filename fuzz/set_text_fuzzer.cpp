// "--set" text: assignments separated by NUL bytes (so a value may hold a line break). A refused
// assignment changes nothing, and the settings always survive a round trip through their text
// form: every printed line assigns back to the same record.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.hpp"
#include "prefs/settings_text.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vexo;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    Settings settings = DefaultSettings();
    std::size_t start = 0;
    while (start <= input.size()) {
        std::size_t end = input.find('\0', start);
        if (end == std::string_view::npos) end = input.size();
        const Settings before = settings;
        const AssignResult result = AssignSetting(settings, input.substr(start, end - start));
        if (!result.ok && !(settings == before)) fuzz::Broken("a refused assignment changed the settings");
        if (result.ok != result.error.empty()) fuzz::Broken("error text does not match the result");
        if (result.error.find('\n') != std::string::npos) fuzz::Broken("error text spans lines");
        start = end + 1;
    }

    Settings again = DefaultSettings();
    std::istringstream lines(FormatSettings(settings));
    for (std::string line; std::getline(lines, line);) {
        if (!AssignSetting(again, line).ok) fuzz::Broken("a printed line does not assign back");
    }
    if (!(again == settings)) fuzz::Broken("the printed settings do not give back the record");
    return 0;
}
