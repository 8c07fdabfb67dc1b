// Feeds arbitrary bytes to the settings file's parser as a hand-edited TSL.INI.
// Besides crashes and hangs it checks what the program relies on: a value just
// written reads back as written, and adding a key keeps every byte the file held,
// in order.
#include "shell/inistore.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view content(reinterpret_cast<const char*>(data), size);
    tessaloom::IniDocument ini;
    ini.parse(content);
    (void)ini.value("General", "Directory", "/");
    (void)ini.value("general", "Window Placement", "NOT PREVIOUSLY LOADED");

    // The section and key come from the input's first bytes, so the fuzzer can
    // aim at names the file holds.
    const std::size_t split = size > 0 ? data[0] % 16 : 0;
    const std::string_view section =
        content.substr(std::min<std::size_t>(1, size), std::min(split, content.size()));
    const std::string key = "Key " + std::to_string(size % 7);
    const std::string value = "v" + std::to_string(size);
    const std::string before = ini.content();
    const bool existed = ini.value(section, key, "<missing>") != "<missing>";
    if (ini.set(section, key, value)) {
        if (ini.value(section, key, "<missing>") != value)
            __builtin_trap();
        if (!existed) {
            const std::string& after = ini.content();
            std::size_t at = 0;
            for (char c : before) {
                at = after.find(c, at);
                if (at == std::string::npos)
                    __builtin_trap(); // a byte of the old file went missing
                ++at;
            }
        }
    }
    return 0;
}
