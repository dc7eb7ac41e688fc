// A debug table in the layout of src/lib/JclDebug.h, made from rows and procedures given by hand.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace dct::test {

// A debug table by hand, in the layout of JclDebug.h. Blocks of two entries by default, so that a
// small table's lookups cross blocks and decode inside them.
struct TableBuilder {
    std::vector<std::tuple<uint32_t, std::string, int32_t>> rows;  // empty unit: no line information
    std::vector<std::pair<uint32_t, std::string>> procs;  // empty name: none
    std::size_t block = 2;

    std::vector<unsigned char> Build() const {
        auto varint = [](std::vector<unsigned char>& out, uint64_t v) {
            for (; v >= 0x80; v >>= 7) out.push_back(static_cast<unsigned char>(v | 0x80));
            out.push_back(static_cast<unsigned char>(v));
        };
        auto put = [](std::vector<unsigned char>& out, uint64_t v) {
            for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
        };
        std::string strings;
        std::vector<std::string> units;
        auto text = [&](const std::string& s) -> uint64_t {
            strings += s + '\0';
            return strings.size() - s.size() - 1;
        };
        auto unitNumber = [&](const std::string& unit) -> uint64_t {
            if (unit.empty()) return 0;
            auto it = std::find(units.begin(), units.end(), unit);
            if (it == units.end()) it = units.insert(units.end(), unit);
            return static_cast<uint64_t>(it - units.begin()) + 1;
        };
        std::vector<unsigned char> rowIndex, rowStream, procIndex, procStream;
        uint64_t unit = 0;
        int64_t line = 0;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            auto& [rva, name, rowLine] = rows[i];
            if (i % block == 0) {
                put(rowIndex, rva), put(rowIndex, rowStream.size());
                unit = 0, line = 0;
            } else {
                varint(rowStream, rva - std::get<0>(rows[i - 1]));
            }
            const uint64_t number = unitNumber(name);
            const int64_t delta = rowLine - line;
            const uint64_t zigzag = (static_cast<uint64_t>(delta) << 1) ^ static_cast<uint64_t>(delta >> 63);
            varint(rowStream, zigzag << 1 | (number != unit));
            if (number != unit) varint(rowStream, number);
            unit = number, line = rowLine;
        }
        for (std::size_t i = 0; i < procs.size(); ++i) {
            auto& [rva, name] = procs[i];
            if (i % block == 0)
                put(procIndex, rva), put(procIndex, procStream.size());
            else
                varint(procStream, rva - procs[i - 1].first);
            varint(procStream, name.empty() ? 0 : text(name) + 1);
        }
        std::vector<unsigned char> out = {'D', 'C', 'T', 'L', 'I', 'N', 'E', '2'};
        std::vector<unsigned char> unitOffsets;
        for (const std::string& u : units) put(unitOffsets, text(u));
        for (uint64_t v : {block, units.size(), rows.size(), rowStream.size(), procs.size(), procStream.size(),
                           strings.size()})
            put(out, v);
        for (auto* part : {&unitOffsets, &rowIndex, &rowStream, &procIndex, &procStream}) out.insert(out.end(), part->begin(), part->end());
        out.insert(out.end(), strings.begin(), strings.end());
        return out;
    }
};

}  // namespace dct::test
