// SPDX-License-Identifier: MIT
// The floor under a rewrite: tarvex-cli's input and output with no rewriting, on one thread.
//   tarvex-io-floor write IN OUT       maps IN and writes it to a replacement file for OUT from the
//                                      map, in 512 KiB pieces, then renames it into place
//   tarvex-io-floor pass-copy IN OUT   the same, with the one pass over every byte (line ends
//                                      counted) and the copy into an output buffer that a rewrite
//                                      cannot do without
#include "files/byte_stream.h"
#include "files/mapped_file.h"
#include "files/replacement_file.h"
#include "netlist/byte_scan.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

int main(int argc, char** argv) {
    if (argc != 4 || (std::strcmp(argv[1], "write") != 0 && std::strcmp(argv[1], "pass-copy") != 0)) {
        std::fprintf(stderr, "usage: %s write|pass-copy IN OUT\n", argv[0]);
        return 2;
    }
    const bool passAndCopy = std::strcmp(argv[1], "pass-copy") == 0;
    const tarvex::FilePtr in = tarvex::OpenFile(argv[2], "r");
    const std::unique_ptr<tarvex::MappedFile> mapped = in ? tarvex::MappedFile::Map(in.get()) : nullptr;
    if (!mapped) {
        std::fprintf(stderr, "%s: cannot map\n", argv[2]);
        return 1;
    }
    tarvex::ReplacementFile out(argv[3], argv[2]);
    if (!out.file()) {
        std::fprintf(stderr, "%s: %s\n", argv[3], out.error().message().c_str());
        return 1;
    }
    constexpr std::size_t kPiece = std::size_t{512} << 10;
    tarvex::FileWriter writer(out.file());
    std::string buffer;
    std::uint64_t lines = 0;
    const std::string_view bytes = mapped->bytes();
    for (std::size_t at = 0; at < bytes.size(); at += kPiece) {
        std::string_view piece = bytes.substr(at, kPiece);
        if (passAndCopy) {
            lines += tarvex::CountLineEnds(piece);
            buffer.assign(piece);
            piece = buffer;
        }
        if (const std::error_code error = writer.write(piece)) {
            std::fprintf(stderr, "%s: %s\n", argv[3], error.message().c_str());
            return 1;
        }
        mapped->release(at + piece.size());
    }
    std::error_code error = out.close();
    if (!error) {
        error = out.moveIntoPlace();
    }
    if (error) {
        std::fprintf(stderr, "%s: %s\n", argv[3], error.message().c_str());
        return 1;
    }
    std::printf("%llu\n", static_cast<unsigned long long>(lines));
    return 0;
}
