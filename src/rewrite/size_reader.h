// SPDX-License-Identifier: MIT
// How the sizes of a device are read: the seam between the rewrite and the netlist's way of writing
// sizes. The classic rule reads the first "L=" and "W=" of the Key's physical line; the SPICE rule
// reads l=, w= and nf= as SPICE does, over "+" lines, with parameters, expressions and the scale.
#pragma once

#include "rewrite/logical_lines.h"
#include "rewrite/spice_context.h"

#include <optional>
#include <string>
#include <string_view>

namespace tarvex {

enum class SizeRule { Classic, Spice };

// The size rule of a run and what the SPICE rule is told besides the netlist: a scale that takes
// the place of the netlist's ".option scale", and whether W is binned per finger (W/NF).
struct SizeOptions {
    SizeRule rule = SizeRule::Classic;
    std::optional<double> scale;
    bool perFinger = false;
};

enum class SizeSource { Literal, Parameter };

// One size as read: its value (scaled, for L and W), the text as written after '=', where it came
// from, and why it could not be read ("lp is not defined"); absent when the device does not give it.
struct ReadSize {
    bool present = false;
    double value = 0.0;
    std::string text;
    SizeSource source = SizeSource::Literal;
    std::string error;

    bool readable() const { return present && error.empty(); }
};

// Everything the SPICE rule read from one device, for the report and the details.
struct DeviceSizes {
    bool isDevice = true; // the Key stands on an element line (M or X)
    ReadSize length;
    ReadSize width;
    ReadSize fingers;
    double scale = 1.0; // the factor applied to L and W
    bool scaled = false;
    double widthUsed = 0.0; // W, or W/NF per finger: the width that is binned
    bool perFinger = false;  // NF is part of the reading
    // Why the device keeps its Key for want of a size, in the words of the report: "not a device",
    // "no L=", "L={lp}: lp is not defined"; empty when L and W were read. Set by the readers.
    std::string problem;
};

// The device around a Key, as a rule sees it: where it starts and ends in the text, the physical
// lines that make it, and its sizes.
class SizeReader {
public:
    virtual ~SizeReader() = default;

    // The device whose text holds the byte at hit, looking no further back than floor (the end of
    // the device before, or a chunk's start): its lines in device.
    virtual void deviceAt(std::string_view text, std::size_t floor, std::size_t hit,
                          LogicalLine& device) const = 0;

    // The sizes of device; offset is where the text starts in the netlist (for the SPICE rule's
    // scopes).
    virtual void read(std::string_view text, const LogicalLine& device, std::uint64_t offset,
                      DeviceSizes& sizes) const = 0;
};

// The classic rule: the Key's physical line; the first "L=" and "W=" in it, their values read by
// ReadNetlistValue from at most 20 bytes. Every line holding a Key is a device.
class ClassicSizeReader final : public SizeReader {
public:
    void deviceAt(std::string_view text, std::size_t floor, std::size_t hit, LogicalLine& device) const override;
    void read(std::string_view text, const LogicalLine& device, std::uint64_t offset,
              DeviceSizes& sizes) const override;
};

// The SPICE rule over a netlist whose context (parameters, subcircuits, scale) was collected first.
class SpiceSizeReader final : public SizeReader {
public:
    // context is kept by the caller while the reader lives.
    SpiceSizeReader(const SpiceContext& context, const SizeOptions& options);

    void deviceAt(std::string_view text, std::size_t floor, std::size_t hit, LogicalLine& device) const override;
    void read(std::string_view text, const LogicalLine& device, std::uint64_t offset,
              DeviceSizes& sizes) const override;

private:
    const SpiceContext& m_context;
    double m_scale = 1.0;
    bool m_scaled = false;
    bool m_perFinger = false;
};

} // namespace tarvex
