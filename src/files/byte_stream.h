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

namespace tarvex {

class ByteReader {
public:
    virtual ~ByteReader() = default;
    // Reads up to buffer.size() bytes; 0 at the end of the input, nothing on a read error.
    virtual std::optional<std::size_t> read(std::span<char> buffer) = 0;
};

class ByteWriter {
public:
    virtual ~ByteWriter() = default;
    // Writes all of bytes; false on a write error (disk full, closed pipe, ...).
    virtual bool write(std::string_view bytes) = 0;
    // Pushes buffered bytes to their destination; false on a write error.
    virtual bool flush() { return true; }
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// fopen for any path the platform can name (wide paths on Windows); files are always binary, so
// line ends pass through untranslated.
FilePtr OpenFile(const std::filesystem::path& path, const char* mode);

// An fopen mode with 'b' added where it lacks one.
std::string BinaryMode(const char* mode);

// Reads an open FILE; does not own it, so stdin can be used as well.
class FileReader final : public ByteReader {
public:
    explicit FileReader(std::FILE* file) : m_file(file) {}
    std::optional<std::size_t> read(std::span<char> buffer) override;

private:
    std::FILE* m_file;
};

// Writes to an open FILE; does not own it. flush() reports errors that buffering delayed.
class FileWriter final : public ByteWriter {
public:
    explicit FileWriter(std::FILE* file) : m_file(file) {}
    bool write(std::string_view bytes) override;
    bool flush() override;

private:
    std::FILE* m_file;
};

// Reads from memory the caller keeps alive; chunkSize limits each read, so tests can split the
// input at awkward places.
class MemoryReader final : public ByteReader {
public:
    explicit MemoryReader(std::string_view data, std::size_t chunkSize = SIZE_MAX)
        : m_data(data), m_chunkSize(chunkSize) {}
    std::optional<std::size_t> read(std::span<char> buffer) override;

private:
    std::string_view m_data;
    std::size_t m_chunkSize;
};

// Appends everything written to a string the caller owns.
class StringWriter final : public ByteWriter {
public:
    explicit StringWriter(std::string& target) : m_target(target) {}
    bool write(std::string_view bytes) override {
        m_target.append(bytes);
        return true;
    }

private:
    std::string& m_target;
};

} // namespace tarvex
