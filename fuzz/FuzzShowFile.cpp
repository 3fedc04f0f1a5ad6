// A show file of any bytes, loaded as the control program loads it, saved again and reloaded.
#include "ItemTable.h"
#include "ShowFile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const lm::showFile::Contents contents = lm::showFile::parse(bytes);
    if (contents.items.size() > static_cast<std::size_t>(lm::ItemTable::rowCount)) {
        __builtin_trap();
    }
    lm::ItemTable table;
    for (const lm::ItemTable::Row& row : contents.items) {
        if (!table.append(row)) {
            __builtin_trap();
        }
    }
    // What loads and saves again must load back the same.
    std::string saved;
    if (lm::showFile::encode(table, saved) == lm::WriteStatus::Ok) {
        const lm::showFile::Contents again = lm::showFile::parse(saved);
        if (again.items != contents.items) {
            __builtin_trap();
        }
    }
    return 0;
}
