// SPDX-License-Identifier: MIT
// Minimal byte sources and sinks for the streaming rewrite: files, memory and strings.
#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>

namespace tarvex {

// What one read gave: the bytes read, or the error that stopped it.
struct ReadResult {
    std::size_t size = 0;
    std::error_code error;
};

class ByteReader {
public:
    virtual ~ByteReader() = default;
    // Reads up to buffer.size() bytes; size 0 at the end of the input, the error on a read error.
    virtual ReadResult read(std::span<char> buffer) = 0;
    // Goes back to where reading started, for a second pass; false when the source cannot (a pipe).
    virtual bool rewind() { return false; }
};

class ByteWriter {
public:
    virtual ~ByteWriter() = default;
    // Writes all of bytes; the error when that failed (disk full, closed pipe, ...).
    virtual std::error_code write(std::string_view bytes) = 0;
    // Pushes buffered bytes to their destination; the error when that failed.
    virtual std::error_code flush() { return {}; }
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// fopen for any path the platform can name (wide paths on Windows); files are always binary, so
// line ends pass through untranslated.
FilePtr OpenFile(const std::filesystem::path& path, const char* mode);
// The same, with the reason when the file could not be opened (error is cleared on success).
FilePtr OpenFile(const std::filesystem::path& path, const char* mode, std::error_code& error);

// The platform's fopen (a wide path on Windows) of path in binaryMode, one source per platform;
// OpenFile is the way in.
std::FILE* OpenPlatformFile(const std::filesystem::path& path, const std::string& binaryMode);

// Closes file; the error when buffered bytes could not be written on closing.
std::error_code CloseFile(FilePtr file);

// Writes all of bytes to file and flushes it (standard output, a report); the error when any of it
// could not be written.
std::error_code WriteAndFlush(std::FILE* file, std::string_view bytes);

// An fopen mode with 'b' added where it lacks one.
std::string BinaryMode(const char* mode);

// Reads an open FILE from its current position; does not own it, so stdin can be used as well.
class FileReader final : public ByteReader {
public:
    explicit FileReader(std::FILE* file);
    ReadResult read(std::span<char> buffer) override;
    // Only a regular file goes back; a pipe or terminal cannot.
    bool rewind() override;

private:
    std::FILE* m_file;
    std::optional<std::fpos_t> m_start; // where a regular file was when reading began
};

// Writes to an open FILE; does not own it. flush() reports errors that buffering delayed.
class FileWriter final : public ByteWriter {
public:
    explicit FileWriter(std::FILE* file) : m_file(file) {}
    std::error_code write(std::string_view bytes) override;
    std::error_code flush() override;

private:
    std::FILE* m_file;
};

// Reads from memory the caller keeps alive; chunkSize limits each read, so tests can split the
// input at awkward places.
class MemoryReader final : public ByteReader {
public:
    explicit MemoryReader(std::string_view data, std::size_t chunkSize = SIZE_MAX)
        : m_data(data), m_whole(data), m_chunkSize(chunkSize) {}
    ReadResult read(std::span<char> buffer) override;
    bool rewind() override {
        m_data = m_whole;
        return true;
    }

private:
    std::string_view m_data;
    std::string_view m_whole;
    std::size_t m_chunkSize;
};

// Appends everything written to a string the caller owns.
class StringWriter final : public ByteWriter {
public:
    explicit StringWriter(std::string& target) : m_target(target) {}
    std::error_code write(std::string_view bytes) override {
        m_target.append(bytes);
        return {};
    }

private:
    std::string& m_target;
};

} // namespace tarvex
