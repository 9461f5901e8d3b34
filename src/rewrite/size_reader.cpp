// SPDX-License-Identifier: MIT
#include "rewrite/size_reader.h"

#include "bins/engineering_value.h"
#include "text/byte_scan.h"

namespace tarvex {
namespace {

bool IsElement(std::string_view text, const LogicalLine& line) {
    const LinePiece& first = line.pieces.front();
    for (std::size_t i = first.begin; i < first.end; ++i) {
        const char c = text[i];
        if (c != ' ' && c != '\t' && c != '\f' && c != '\v') {
            return c == 'M' || c == 'm' || c == 'X' || c == 'x';
        }
    }
    return false;
}

bool SameLower(std::string_view name, std::string_view lower) {
    if (name.size() != lower.size()) {
        return false;
    }
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i] >= 'A' && name[i] <= 'Z' ? static_cast<char>(name[i] - 'A' + 'a') : name[i];
        if (c != lower[i]) {
            return false;
        }
    }
    return true;
}

void Evaluate(const Assignment& assignment, const ParameterScope& scope, ReadSize& size) {
    size.present = true;
    size.text = assignment.value;
    bool parameter = false;
    const Result<double> value = EvaluateValue(assignment.value, scope, parameter);
    size.source = parameter ? SizeSource::Parameter : SizeSource::Literal;
    if (value) {
        size.value = *value;
        size.error.clear();
    } else {
        size.value = 0.0;
        size.error = std::string(assignment.name) + "=" + std::string(assignment.value) + ": " + value.error();
    }
}

std::string ProblemOf(const DeviceSizes& sizes) {
    if (!sizes.isDevice) {
        return "not a device";
    }
    const bool length = sizes.length.present;
    const bool width = sizes.width.present;
    if (!length || !width) {
        return !length && !width ? "no L= or W=" : !length ? "no L=" : "no W=";
    }
    for (const ReadSize* size : {&sizes.length, &sizes.width, &sizes.fingers}) {
        if (!size->error.empty() && (size != &sizes.fingers || sizes.perFinger)) {
            return size->error;
        }
    }
    return {};
}

} // namespace

void ClassicSizeReader::deviceAt(std::string_view text, std::size_t floor, std::size_t hit,
                                 LogicalLine& device) const {
    device.begin = LineStartBefore(text, floor, hit);
    device.end = LineEndAfter(text, hit);
    device.pieces.assign(1, {device.begin, device.end});
}

void ClassicSizeReader::read(std::string_view text, const LogicalLine& device, std::uint64_t,
                             DeviceSizes& sizes) const {
    const std::string_view line = text.substr(device.begin, device.end - device.begin);
    const SizeMarkers markers = FindSizeMarkers(line);
    sizes = DeviceSizes();
    for (const auto& [marker, size] : {std::pair{markers.length, &sizes.length}, std::pair{markers.width, &sizes.width}}) {
        if (marker == std::string_view::npos) {
            continue;
        }
        const NetlistValue value = ReadNetlistValue(line.substr(marker, kNetlistTokenLength));
        size->present = value.hasNumber;
        size->value = value.value;
        size->text = line.substr(marker, kNetlistTokenLength);
    }
    sizes.widthUsed = sizes.width.value;
    sizes.problem = ProblemOf(sizes);
}

SpiceSizeReader::SpiceSizeReader(const SpiceContext& context, const SizeOptions& options)
    : m_context(context), m_perFinger(options.perFinger) {
    if (options.scale) {
        m_scale = *options.scale;
        m_scaled = true;
    } else if (context.scale() && context.scale()->ok()) {
        m_scale = context.scale()->value();
        m_scaled = true;
    }
}

void SpiceSizeReader::deviceAt(std::string_view text, std::size_t floor, std::size_t hit,
                               LogicalLine& device) const {
    const std::size_t lineStart = LineStartBefore(text, floor, hit);
    ReadLogicalLine(text, LogicalLineStart(text, floor, lineStart), device);
}

void SpiceSizeReader::read(std::string_view text, const LogicalLine& device, std::uint64_t offset,
                           DeviceSizes& sizes) const {
    sizes = DeviceSizes();
    sizes.isDevice = IsElement(text, device);
    sizes.perFinger = m_perFinger;
    if (!sizes.isDevice) {
        sizes.problem = ProblemOf(sizes);
        return;
    }
    thread_local std::string buffer;
    thread_local std::vector<Assignment> assignments;
    const std::string_view joined = JoinedText(text, device, buffer);
    const SpiceContext::View scope(m_context, m_context.scopeAt(offset + device.begin));
    // A name given twice takes its last value, as SPICE reads an element's parameters.
    const Assignment* length = nullptr;
    const Assignment* width = nullptr;
    const Assignment* fingers = nullptr;
    ReadAssignments(joined, assignments);
    for (const Assignment& assignment : assignments) {
        if (SameLower(assignment.name, "l")) {
            length = &assignment;
        } else if (SameLower(assignment.name, "w")) {
            width = &assignment;
        } else if (SameLower(assignment.name, "nf")) {
            fingers = &assignment;
        }
    }
    for (const auto& [assignment, size] :
         {std::pair{length, &sizes.length}, std::pair{width, &sizes.width}, std::pair{fingers, &sizes.fingers}}) {
        if (assignment) {
            Evaluate(*assignment, scope, *size);
        }
    }
    sizes.scale = m_scale;
    sizes.scaled = m_scaled;
    if (!m_scaled && m_context.scale() && !m_context.scale()->ok()) {
        for (ReadSize* size : {&sizes.length, &sizes.width}) {
            if (size->readable()) {
                size->error = ".option scale: " + m_context.scale()->error();
            }
        }
    }
    sizes.length.value *= m_scale;
    sizes.width.value *= m_scale;
    sizes.widthUsed = sizes.width.value;
    if (m_perFinger && sizes.fingers.readable()) {
        if (sizes.fingers.value < 1.0) {
            sizes.fingers.error =
                "NF=" + sizes.fingers.text + ": " + FormatG(sizes.fingers.value) + " is not a number of fingers";
        } else {
            sizes.widthUsed = sizes.width.value / sizes.fingers.value;
        }
    }
    sizes.problem = ProblemOf(sizes);
}

} // namespace tarvex
