#pragma once

#include <filesystem>
#include <string>
#include <vector>

// A small cache folder of browser records and plain cached files, the same bytes
// and dates every time, for the tests of the index build with and without
// reading records.
namespace tessaloom::test {

struct RecordFolderFile
{
    std::string name;
    std::string content;
};

/// The files, in no particular order.
std::vector<RecordFolderFile> RecordFolderFiles();

/// Writes them into `folder`, each with its own fixed modification time.
void WriteRecordFolder(const std::filesystem::path& folder);

} // namespace tessaloom::test
