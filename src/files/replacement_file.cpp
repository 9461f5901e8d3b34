// SPDX-License-Identifier: MIT
#include "files/replacement_file.h"

#include "files/paths.h"

#include <cerrno>
#include <cstdio>
#include <string>

namespace tarvex {
namespace {

constexpr int kAttempts = 100;

std::string HexDigits(std::uint64_t bits) {
    std::string text(16, '0');
    for (std::size_t i = text.size(); i-- > 0; bits >>= 4) {
        text[i] = "0123456789abcdef"[bits & 0xF];
    }
    return text;
}

std::error_code LastError() {
    return {errno != 0 ? errno : EIO, std::generic_category()};
}

} // namespace

ReplacementFile::ReplacementFile(const std::filesystem::path& target, const std::filesystem::path& modeFrom)
    : m_target(target) {
    // A name that exists already is someone else's (an earlier run killed at this point, or a
    // planted file): draw another.
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        // A name of fixed length, whatever the target's: a target name near the system's limit
        // must not make the temporary name too long.
        m_path = target.parent_path() / PathFromText(".tarvex-" + HexDigits(UnpredictableBits()) + ".tmp");
        m_error.clear();
        m_file = CreateNewFile(m_path, modeFrom, m_error);
        if (m_file || m_error != std::errc::file_exists) {
            break;
        }
    }
    m_created = m_file != nullptr;
}

ReplacementFile::~ReplacementFile() {
    m_file.reset();
    if (m_created && !m_moved) {
        std::error_code ignored;
        // A file made read-only like the netlist it replaces cannot be removed on Windows as it is.
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove(m_path, ignored);
    }
}

std::error_code ReplacementFile::close() {
    if (!m_file) {
        return m_error ? m_error : std::make_error_code(std::errc::bad_file_descriptor);
    }
    errno = 0;
    std::error_code error;
    if (std::fflush(m_file.get()) != 0 || std::ferror(m_file.get())) {
        error = LastError();
    }
    errno = 0;
    if (std::fclose(m_file.release()) != 0 && !error) {
        error = LastError();
    }
    return error;
}

std::error_code ReplacementFile::moveIntoPlace() {
    if (m_file || !m_created) {
        return std::make_error_code(std::errc::bad_file_descriptor);
    }
    const std::error_code error = MoveReplacing(m_path, m_target);
    m_moved = !error;
    return error;
}

Placement ReplacementFile::commit(const std::optional<FileStamp>& expected, bool keepOld) {
    if (m_file || !m_created) {
        Placement placed;
        placed.error = std::make_error_code(std::errc::bad_file_descriptor);
        return placed;
    }
    Placement placed = PlaceFile(m_path, m_target, expected, keepOld);
    m_moved = !placed.error;
    return placed;
}

ReplaceOutcome WriteFileReplacing(const std::filesystem::path& target,
                                  const std::function<std::error_code(std::FILE*)>& write,
                                  const ReplaceOptions& options) {
    ReplaceOutcome outcome;
    ReplacementFile file(target, options.modeFrom);
    const auto stop = [&outcome](ReplaceStep step, std::error_code error) {
        outcome.stopped = step;
        outcome.error = error;
        return outcome;
    };
    if (!file.file()) {
        return stop(ReplaceStep::Create, file.error());
    }
    if (const std::error_code error = write(file.file())) {
        return stop(ReplaceStep::Write, error);
    }
    if (const std::error_code error = file.close()) {
        return stop(ReplaceStep::Close, error);
    }
    if (!options.check) {
        if (const std::error_code error = file.moveIntoPlace()) {
            return stop(ReplaceStep::Place, error);
        }
        return outcome;
    }
    outcome.placement = file.commit(options.check->expected, options.check->keepOld);
    if (outcome.placement.error) {
        return stop(ReplaceStep::Place, outcome.placement.error);
    }
    return outcome;
}

ReplaceOutcome WriteFileReplacing(const std::filesystem::path& target, std::string_view bytes,
                                  const ReplaceOptions& options) {
    return WriteFileReplacing(
        target, [bytes](std::FILE* file) { return FileWriter(file).write(bytes); }, options);
}

} // namespace tarvex
