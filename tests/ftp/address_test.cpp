// What users type as a server name; connect_test.cpp connects with the usual forms.
#include "ftp/address.h"

#include <gtest/gtest.h>

#include "ftp/errors.h"

namespace varnox::ftp {
namespace {

TEST(ParseEndpoint, ReadsWhatUsersType) {
    struct Case {
        std::string text;
        std::uint16_t defaultPort;
        std::optional<Endpoint> endpoint;
        std::uint32_t error;
    };
    const Case cases[] = {
        {"ftp.example.org", 0, Endpoint{"ftp.example.org", 21}, 0},
        {"ftp.example.org:2100", 2121, Endpoint{"ftp.example.org", 2100}, 0},
        {"FTP://host:99", 0, Endpoint{"host", 99}, 0},
        {"[::1]", 0, Endpoint{"[::1]", 21}, 0},
        {"[::1]:2121", 0, Endpoint{"[::1]", 2121}, 0},
        {"under_score-1.lan", 0, Endpoint{"under_score-1.lan", 21}, 0},
        {"", 0, std::nullopt, error::kInvalidParameter},
        {"host\r\n", 0, std::nullopt, error::kInvalidParameter},
        {"host:", 0, std::nullopt, error::kInvalidParameter},
        {"host:0", 0, std::nullopt, error::kInvalidParameter},
        {"host:65536", 0, std::nullopt, error::kInvalidParameter},
        {"host:21x", 0, std::nullopt, error::kInvalidParameter},
        {"http://host", 0, std::nullopt, error::kUnrecognizedScheme},
        {" host", 0, std::nullopt, error::kNameNotResolved},
        {"user@host", 0, std::nullopt, error::kNameNotResolved},
        {"host/path", 0, std::nullopt, error::kNameNotResolved},
        {"[::1", 0, std::nullopt, error::kNameNotResolved},
        {"[::1]x", 0, std::nullopt, error::kNameNotResolved},
        {":21", 0, std::nullopt, error::kNameNotResolved},
    };
    for (const Case& c : cases) {
        std::uint32_t error = 0;
        std::optional<Endpoint> endpoint = parseEndpoint(c.text, c.defaultPort, error);
        EXPECT_EQ(endpoint, c.endpoint) << "\"" << c.text << "\"";
        if (!c.endpoint) {
            EXPECT_EQ(error, c.error) << "\"" << c.text << "\"";
        }
    }
}

}  // namespace
}  // namespace varnox::ftp
