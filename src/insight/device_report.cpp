// SPDX-License-Identifier: MIT
#include "insight/device_report.h"

#include "bins/engineering_value.h"
#include "rewrite/line_rewriter.h"

#include <optional>

namespace tarvex {

void AppendCsvField(std::string& row, std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        row.append(field);
        return;
    }
    row += '"';
    for (const char c : field) {
        if (c == '"') {
            row += '"';
        }
        row += c;
    }
    row += '"';
}

namespace {

void AppendBin(std::string& row, const std::optional<int>& bin) {
    if (bin) {
        row += static_cast<char>('0' + *bin);
    }
}

} // namespace

void AppendDeviceReportFields(std::string& report, std::string_view file, std::uint64_t line,
                              const DeviceEvent& event) {
    AppendCsvField(report, file);
    report += ',';
    report += std::to_string(line);
    report += event.polarity == Polarity::N ? ",N," : ",P,";
    report += FormatG(event.length);
    report += ',';
    report += FormatG(event.width);
    report += ',';
    AppendBin(report, event.widthBin);
    report += ',';
    AppendBin(report, event.lengthBin);
    report += ',';
    AppendCsvField(report, event.partName);
    report += ',';
    report += ProblemLabel(event);
}

void AppendDeviceReportRow(std::string& report, std::string_view file, std::uint64_t line,
                           const DeviceEvent& event) {
    AppendDeviceReportFields(report, file, line, event);
    report += '\n';
}

} // namespace tarvex
