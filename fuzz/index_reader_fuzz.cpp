// Feeds arbitrary bytes to the index reader as if they were an index document.
// Besides crashes and hangs it checks what the wizard relies on: every row names
// a plain file of the document's folder, and its display text is valid UTF-8.
// It also checks that splitting into fields does not depend on how the input
// arrives in pieces, and that a title decodes as its plain definition says.
#include "../tests/support/titledefinition.h"
#include "platform/textcodec.h"
#include "wizard/indexfolder.h"
#include "wizard/indexreader.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::vector<std::string> Fields(std::string_view text, std::size_t pieceSize)
{
    std::vector<std::string> fields;
    tessaloom::IndexFieldSplitter splitter;
    const auto onField = [&](std::string_view field) { fields.emplace_back(field); };
    for (std::size_t at = 0; at < text.size(); at += pieceSize) {
        if (!splitter.feed(text.substr(at, pieceSize), onField))
            return fields;
    }
    splitter.finish(onField);
    return fields;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the piece size of the second split.
    const std::size_t pieceSize = 1 + data[0] % 17;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

    // Names of odd length "exist", so that both outcomes of the test are taken.
    const auto holdsFile = [](std::string_view name) { return name.size() % 2 == 1; };
    const tessaloom::IndexList list = tessaloom::ReadIndexText(text, "/idx", holdsFile);
    for (const tessaloom::WizardRow& row : list.rows) {
        if (!tessaloom::IsValidUtf8(row.displayText))
            __builtin_trap();
        const std::string_view path = row.targetPath;
        if (!path.starts_with("/idx/") || !tessaloom::IsPlainFileName(path.substr(5)) ||
            path[5] == '.')
            __builtin_trap();
        if (row.displayText.find('\t') == std::string::npos)
            __builtin_trap();
    }

    if (Fields(text, pieceSize) != Fields(text, text.size() + 1))
        __builtin_trap();

    // The whole input taken as one title: the reader's one-pass decoding against
    // the definition, replacement by replacement.
    if (tessaloom::DecodeTitle(text) != tessaloom::test::TitleByDefinition(text))
        __builtin_trap();
    return 0;
}
