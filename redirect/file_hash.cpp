#include "redirect/file_hash.h"

#include <openssl/evp.h>

#include <memory>
#include <vector>

#include "platform/failure.h"
#include "platform/positional_file.h"

namespace varnox::redirect {

std::string sha256Of(const std::filesystem::path& file) {
    constexpr std::size_t kPiece = 256 << 10;
    const platform::PositionalFile in(file);
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                          &EVP_MD_CTX_free);
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) {
        throw Failure(failure::kOutOfMemory, "Cannot hash " + file.string() + ": out of memory");
    }
    std::vector<std::uint8_t> piece(kPiece);
    for (std::uint64_t offset = 0;;) {
        const std::size_t read = in.readAt(offset, piece);
        if (read == 0) {
            break;
        }
        EVP_DigestUpdate(context.get(), piece.data(), read);
        offset += read;
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    EVP_DigestFinal_ex(context.get(), digest, &length);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    for (unsigned i = 0; i < length; ++i) {
        text += kHex[digest[i] >> 4];
        text += kHex[digest[i] & 15];
    }
    return text;
}

}  // namespace varnox::redirect
