#include "resources/text_resources.h"

#include <cstddef>

namespace qf {
namespace embedded {
extern const unsigned char program_strings[];
extern const std::size_t program_strings_size;
extern const unsigned char general_strings[];
extern const std::size_t general_strings_size;
}  // namespace embedded

namespace {

std::string_view Bytes(const unsigned char* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

}  // namespace

std::string_view TextResource(int id) {
    switch (id) {
        case kProgramStringsResource:
            return Bytes(embedded::program_strings, embedded::program_strings_size);
        case kGeneralStringsResource:
            return Bytes(embedded::general_strings, embedded::general_strings_size);
        default:
            return {};
    }
}

}  // namespace qf
