// SPDX-License-Identifier: MIT
#include "insight/bin_usage.h"

#include "bins/engineering_value.h"

namespace tarvex {

void BinUsage::add(const DeviceEvent& event) {
    if (event.widthBin && event.lengthBin) {
        CellCounts& counts = event.polarity == Polarity::N ? n : p;
        ++counts[static_cast<std::size_t>(*event.widthBin)][static_cast<std::size_t>(*event.lengthBin)];
    }
}

std::string DescribeKeptDevice(std::string_view file, std::uint64_t line, const DeviceEvent& event) {
    std::string text(file);
    text += ':';
    text += std::to_string(line);
    text += event.polarity == Polarity::N ? ": N" : ": P";
    if (event.hasLength) {
        text += " L=";
        text += FormatG(event.length);
    }
    if (event.hasWidth) {
        text += " W=";
        text += FormatG(event.width);
    }
    text += ' ';
    text += ProblemLabel(event);
    return text;
}

} // namespace tarvex
