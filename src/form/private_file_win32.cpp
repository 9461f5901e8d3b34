// SPDX-License-Identifier: MIT
// Private files on Windows: a new file made with CREATE_NEW. The user's temporary folder, where the
// window writes them, lets no other user in, and the file inherits that.
#include "form/private_file.h"

#include "files/replacement_file.h"

namespace tarvex::form {

FilePtr CreatePrivateFile(const std::filesystem::path& path, std::error_code& error) {
    return CreateNewFile(path, {}, error);
}

} // namespace tarvex::form
