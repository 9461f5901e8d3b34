// SPDX-License-Identifier: MIT
// The floor under a rewrite: tarvex-cli's input and output with no rewriting, on one thread.
//   tarvex-io-floor write IN OUT       reads IN in 1 MiB pieces, as the rewrite reads its chunks on
//                                      one thread, and writes each to a replacement file for OUT,
//                                      then renames it into place
//   tarvex-io-floor pass-copy IN OUT   the same, with the one pass over every byte (line ends
//                                      counted) and the copy into an output buffer that a rewrite
//                                      cannot do without
#include "files/byte_stream.h"
#include "files/replacement_file.h"
#include "text/byte_scan.h"

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
    if (!in) {
        std::fprintf(stderr, "%s: cannot open\n", argv[2]);
        return 1;
    }
    // The buffers tarvex-cli gives its files.
    constexpr std::size_t kStdioBuffer = std::size_t{1} << 16;
    std::setvbuf(in.get(), nullptr, _IOFBF, kStdioBuffer);
    tarvex::ReplacementFile out(argv[3], argv[2]);
    if (!out.file()) {
        std::fprintf(stderr, "%s: %s\n", argv[3], out.error().message().c_str());
        return 1;
    }
    std::setvbuf(out.file(), nullptr, _IOFBF, kStdioBuffer);
    constexpr std::size_t kPiece = std::size_t{1} << 20;
    const auto piece = std::make_unique_for_overwrite<char[]>(kPiece);
    tarvex::FileReader reader(in.get());
    tarvex::FileWriter writer(out.file());
    std::string buffer;
    std::uint64_t lines = 0;
    for (;;) {
        const tarvex::ReadResult read = reader.read({piece.get(), kPiece});
        if (read.error) {
            std::fprintf(stderr, "%s: %s\n", argv[2], read.error.message().c_str());
            return 1;
        }
        if (read.size == 0) {
            break;
        }
        std::string_view bytes(piece.get(), read.size);
        if (passAndCopy) {
            lines += tarvex::CountLineEnds(bytes);
            buffer.assign(bytes);
            bytes = buffer;
        }
        if (const std::error_code error = writer.write(bytes)) {
            std::fprintf(stderr, "%s: %s\n", argv[3], error.message().c_str());
            return 1;
        }
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
